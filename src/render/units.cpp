#include "render/units.h"

#include "arithmetic.h"
#include "tolvane_state.h"

namespace tolvane {

// What a line shares between its characters is converted once a line by
// the character placement, so these convert every time.
int32_t ToDeviceX(double tenths) { return ToDevicePixels(tenths, PrintState.PixelsPerMmX); }

int32_t ToDeviceY(double tenths) { return ToDevicePixels(tenths, PrintState.PixelsPerMmY); }

int32_t MarginOffsetX(int32_t millimetres) {
  return MultiplyWrapped(10, ToDevicePixels(millimetres, PrintState.PixelsPerMmX));
}

int32_t MarginOffsetY(int32_t millimetres) {
  return MultiplyWrapped(10, ToDevicePixels(millimetres, PrintState.PixelsPerMmY));
}

}  // namespace tolvane
