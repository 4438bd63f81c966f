#include "render/print_char.h"

#include "arithmetic.h"
#include "render/page.h"
#include "render/units.h"
#include "tolvane_state.h"

namespace tolvane {

// Tab stops are every eight columns. The 15-bit mask keeps a tab past column
// 32767 from counting on without bound: it lands back on a low stop.
static void AdvanceToTabStop() {
  TPrintState& state = PrintState;
  int32_t stop = AddWrapped(state.Column, 8) & 0x7FF8;
  TExtended advance = static_cast<TExtended>(SubtractWrapped(stop, state.Column)) * state.CellWidth;
  state.PenX = StoreDouble(state.PenX + advance);
  state.Column = stop;
}

// Half a tenth of a millimetre is added before conversion (and before the
// sign of the downward pen is turned), so that a cell edge that falls on a
// pixel boundary lands on it rather than one pixel short.
static double Centred(double pen) { return StoreDouble(static_cast<TExtended>(pen) + 0.5L); }

static double CentredDown(double pen) {
  return StoreDouble(-(static_cast<TExtended>(pen) + 0.5L));
}

static void UprightPosition(int32_t& x, int32_t& y) {
  const TPrintState& state = PrintState;
  x = AddWrapped(ToDeviceX(Centred(state.PenX)), MarginOffsetX(state.LeftMargin));
  y = AddWrapped(ToDeviceY(CentredDown(state.PenY)), MarginOffsetY(state.UpperMargin));
}

// Rotated lines run upward from the bottom of the printable area, and
// successive lines follow one another to the right.
static void RotatedPosition(int32_t& x, int32_t& y) {
  const TPrintState& state = PrintState;
  x = AddWrapped(ToDeviceX(CentredDown(state.PenY)), MarginOffsetX(state.UpperMargin));
  double along = StoreDouble(static_cast<TExtended>(state.PageHeight) -
                             (static_cast<TExtended>(state.PenX) + 0.5L));
  y = SubtractWrapped(ToDeviceY(along), MarginOffsetY(state.LeftMargin));
}

void PrintChar(uint8_t byte) {
  if (!PageInRange()) return;
  BeginPageIfPending();
  TPrintState& state = PrintState;
  uint8_t shown = ConversionTable[byte];
  // Only the converted byte decides whether it is a tab.
  if (shown == 9) {
    AdvanceToTabStop();
    return;
  }
  int32_t x = 0, y = 0;
  if (state.Rotated == 0)
    UprightPosition(x, y);
  else
    RotatedPosition(x, y);
  char text = static_cast<char>(shown);
  TextOutA(state.PrinterDC, x, y, &text, 1);
  state.Column = AddWrapped(state.Column, 1);
  state.PenX = StoreDouble(static_cast<TExtended>(state.PenX) + state.CellWidth);
}

}  // namespace tolvane
