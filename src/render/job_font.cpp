#include "arithmetic.h"
#include "render/page.h"
#include "render/units.h"
#include "tolvane_state.h"

#include <cstring>

namespace tolvane {

namespace {

// What the font's two sizes are converted from: the cell in tenths of a
// millimetre, the bold allowance, and the pixel densities along which the
// height and the width run.
struct TFontSizeInput {
  double CellHeight, Allowance, CellWidth;
  double HeightPixelsPerMm, WidthPixelsPerMm;
};

struct TFontSizes {
  TFontSizeInput Input;
  int32_t Height, Width;
};

// A report switches back and forth between a few weights and cell sizes,
// and the conversion is a function of its input alone: the last two sizes
// are kept with what they gave, so that a switch back does not convert again.
TFontSizes KnownSizes[2];
int KnownCount = 0;
int OlderKnown = 0;

const TFontSizes* KnownSizesFor(const TFontSizeInput& input) {
  for (int i = 0; i < KnownCount; ++i)
    if (std::memcmp(&KnownSizes[i].Input, &input, sizeof input) == 0) return &KnownSizes[i];
  return nullptr;
}

void RememberSizes(const TFontSizeInput& input, int32_t height, int32_t width) {
  int slot = KnownCount < 2 ? KnownCount++ : OlderKnown;
  if (KnownCount == 2) OlderKnown = 1 - slot;
  KnownSizes[slot] = {input, height, width};
}

}  // namespace

void SelectJobFont() {
  TPrintState& state = PrintState;
  // Take the old font out of the context before deleting it.
  if (state.PreviousFont) SelectObject(state.PrinterDC, state.PreviousFont);
  if (state.JobFont) DeleteObject(state.JobFont);
  LOGFONTA& font = state.JobLogFont;
  // Bold strokes need a taller cell to keep the glyphs the same size.
  TExtended allowance = font.lfWeight == FW_BOLD ? 4.0L : 0.0L;
  bool upright = state.Rotated == 0;
  TFontSizeInput input{};
  input.CellHeight = state.CellHeight;
  input.Allowance = static_cast<double>(allowance);
  input.CellWidth = state.CellWidth;
  input.HeightPixelsPerMm = upright ? state.PixelsPerMmY : state.PixelsPerMmX;
  input.WidthPixelsPerMm = upright ? state.PixelsPerMmX : state.PixelsPerMmY;
  if (const TFontSizes* known = KnownSizesFor(input)) {
    font.lfHeight = known->Height;
    font.lfWidth = known->Width;
  } else {
    // Half a tenth of a millimetre rounds the height, not the width.
    double height = StoreDouble(static_cast<TExtended>(state.CellHeight) + allowance + 0.5L);
    // Turned by 90 degrees, the glyph height runs along the device's x axis.
    font.lfHeight = upright ? ToDeviceY(height) : ToDeviceX(height);
    font.lfWidth = upright ? ToDeviceX(state.CellWidth) : ToDeviceY(state.CellWidth);
    RememberSizes(input, font.lfHeight, font.lfWidth);
  }
  font.lfEscapement = upright ? 0 : 900;
  state.JobFont = CreateFontIndirectA(&font);
  state.PreviousFont = SelectObject(state.PrinterDC, state.JobFont);
}

}  // namespace tolvane
