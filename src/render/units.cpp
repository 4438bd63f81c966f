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

// The last conversion of one kind, kept because a line converts the same
// vertical pen and the same margins for every character on it.
struct TConversionMemo {
  double Tenths;
  double PixelsPerMm;
  int32_t Pixels;
  bool Valid;
};

static int32_t ToDeviceRemembered(TConversionMemo& memo, double tenths, double pixelsPerMm) {
  if (memo.Valid && memo.Tenths == tenths && memo.PixelsPerMm == pixelsPerMm) return memo.Pixels;
  int32_t pixels = ToDevice(tenths, pixelsPerMm);
  memo = TConversionMemo{tenths, pixelsPerMm, pixels, true};
  return pixels;
}

static TConversionMemo LastY, LastMarginX, LastMarginY;

int32_t ToDeviceX(double tenths) { return ToDevice(tenths, PrintState.PixelsPerMmX); }

int32_t ToDeviceY(double tenths) {
  return ToDeviceRemembered(LastY, tenths, PrintState.PixelsPerMmY);
}

int32_t MarginOffsetX(int32_t millimetres) {
  return MultiplyWrapped(10, ToDeviceRemembered(LastMarginX, millimetres, PrintState.PixelsPerMmX));
}

int32_t MarginOffsetY(int32_t millimetres) {
  return MultiplyWrapped(10, ToDeviceRemembered(LastMarginY, millimetres, PrintState.PixelsPerMmY));
}

bool PageInRange() {
  return PrintState.FirstPage <= PrintState.CurrentPage &&
         PrintState.CurrentPage <= PrintState.LastPage;
}

}  // namespace tolvane
