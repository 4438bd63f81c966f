// The output kinds that CreateDCA chooses from on Windows: Tolvane's own
// drivers by their names (the recording device, the document writers and
// the preview), and the system's own printers for every other driver name
// (the system then picks the driver by the device name).
#include "device/device.h"

namespace tolvane {

extern const TDeviceBackend TraceDeviceBackend;
extern const TDeviceBackend PdfDeviceBackend;
extern const TDeviceBackend PsDeviceBackend;
extern const TDeviceBackend PreviewDeviceBackend;
extern const TDeviceBackend GdiDeviceBackend;

const TDeviceBackend* const* DeviceBackends() {
  static const TDeviceBackend* const backends[] = {
      &TraceDeviceBackend, &PdfDeviceBackend, &PsDeviceBackend, &PreviewDeviceBackend,
      &GdiDeviceBackend,  // takes every name: keep it last
      nullptr,
  };
  return backends;
}

// A document's pending file is marked for deletion from its start, so a
// killed job leaves nothing to tidy up; the trace and the system's printers
// leave no files of their own.
void TidyFolderOfOutput(const std::string&) {}

}  // namespace tolvane
