#include "render/units.h"

#include "arithmetic.h"
#include "tolvane_state.h"

namespace tolvane {

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
  int32_t pixels = ToDevicePixels(tenths, pixelsPerMm);
  memo = TConversionMemo{tenths, pixelsPerMm, pixels, true};
  return pixels;
}

static TConversionMemo LastY, LastMarginX, LastMarginY;

int32_t ToDeviceX(double tenths) { return ToDevicePixels(tenths, PrintState.PixelsPerMmX); }

int32_t ToDeviceY(double tenths) {
  return ToDeviceRemembered(LastY, tenths, PrintState.PixelsPerMmY);
}

int32_t MarginOffsetX(int32_t millimetres) {
  return MultiplyWrapped(10, ToDeviceRemembered(LastMarginX, millimetres, PrintState.PixelsPerMmX));
}

int32_t MarginOffsetY(int32_t millimetres) {
  return MultiplyWrapped(10, ToDeviceRemembered(LastMarginY, millimetres, PrintState.PixelsPerMmY));
}

}  // namespace tolvane
