// The output kinds that CreateDCA chooses from. Each one is a table defined
// in its own file; adding one is its declaration and its entry here.
#include "device/device.h"

namespace tolvane {

extern const TDeviceBackend TraceDeviceBackend;
extern const TDeviceBackend PdfDeviceBackend;
extern const TDeviceBackend PsDeviceBackend;
extern const TDeviceBackend SvgDeviceBackend;
extern const TDeviceBackend PngDeviceBackend;
extern const TDeviceBackend CupsDeviceBackend;
extern const TDeviceBackend PreviewDeviceBackend;

const TDeviceBackend* const* DeviceBackends() {
  static const TDeviceBackend* const backends[] = {
      &TraceDeviceBackend, &PdfDeviceBackend, &PsDeviceBackend, &SvgDeviceBackend,
      &PngDeviceBackend,   &CupsDeviceBackend, &PreviewDeviceBackend, nullptr,
  };
  return backends;
}

}  // namespace tolvane
