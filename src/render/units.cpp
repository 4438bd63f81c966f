#include "render/units.h"

#include "arithmetic.h"
#include "tolvane_state.h"

namespace tolvane {

// The product and the quotient are each rounded in extended precision, then
// the quotient is cut toward zero; only its low 32 bits reach the device.
static int32_t ToDevice(double tenths, double pixelsPerMm) {
  TExtended product = CheckExtended(static_cast<TExtended>(tenths) * pixelsPerMm);
  TExtended quotient = DivideExtended(product, 10.0L);
  return WrapTo32(TruncateToInt64(quotient));
}

int32_t ToDeviceX(double tenths) { return ToDevice(tenths, PrintState.PixelsPerMmX); }

int32_t ToDeviceY(double tenths) { return ToDevice(tenths, PrintState.PixelsPerMmY); }

int32_t MarginOffsetX(int32_t millimetres) { return MultiplyWrapped(10, ToDeviceX(millimetres)); }

int32_t MarginOffsetY(int32_t millimetres) { return MultiplyWrapped(10, ToDeviceY(millimetres)); }

bool PageInRange() {
  return PrintState.FirstPage <= PrintState.CurrentPage &&
         PrintState.CurrentPage <= PrintState.LastPage;
}

}  // namespace tolvane
