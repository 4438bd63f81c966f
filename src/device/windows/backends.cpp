// The output kinds that CreateDCA chooses from on Windows: the recording
// device by its name, and the system's own printers for every other driver
// name (the system then picks the driver by the device name).
#include "device/device.h"

namespace tolvane {

extern const TDeviceBackend TraceDeviceBackend;
extern const TDeviceBackend GdiDeviceBackend;

const TDeviceBackend* const* DeviceBackends() {
  static const TDeviceBackend* const backends[] = {
      &TraceDeviceBackend,
      &GdiDeviceBackend,  // takes every name: keep it last
      nullptr,
  };
  return backends;
}

// The system's printers leave no files behind, and the trace none of its own.
void TidyFolderOfOutput(const std::string&) {}

}  // namespace tolvane
