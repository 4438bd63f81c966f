#include "arithmetic.h"
#include "render/page.h"
#include "render/units.h"
#include "tolvane_state.h"

namespace tolvane {

void SelectJobFont() {
  TPrintState& state = PrintState;
  // Take the old font out of the context before deleting it.
  if (state.PreviousFont) SelectObject(state.PrinterDC, state.PreviousFont);
  if (state.JobFont) DeleteObject(state.JobFont);
  LOGFONTA& font = state.JobLogFont;
  // Bold strokes need a taller cell to keep the glyphs the same size.
  TExtended allowance = font.lfWeight == FW_BOLD ? 4.0L : 0.0L;
  // Half a tenth of a millimetre rounds the height, not the width.
  double height = StoreDouble(static_cast<TExtended>(state.CellHeight) + allowance + 0.5L);
  if (state.Rotated == 0) {
    font.lfHeight = ToDeviceY(height);
    font.lfWidth = ToDeviceX(state.CellWidth);
    font.lfEscapement = 0;
  } else {
    // Turned by 90 degrees, the glyph height runs along the device's x axis.
    font.lfHeight = ToDeviceX(height);
    font.lfWidth = ToDeviceY(state.CellWidth);
    font.lfEscapement = 900;
  }
  state.JobFont = CreateFontIndirectA(&font);
  state.PreviousFont = SelectObject(state.PrinterDC, state.JobFont);
}

}  // namespace tolvane
