// The output kinds that CreateDCA chooses from. Each one is a table defined
// in its own file; adding one is its declaration and its entry here.
#include "device/device.h"

namespace tolvane {

extern const TDeviceBackend TraceDeviceBackend;

const TDeviceBackend* const* DeviceBackends() {
  static const TDeviceBackend* const backends[] = {
      &TraceDeviceBackend,
      nullptr,
  };
  return backends;
}

}  // namespace tolvane
