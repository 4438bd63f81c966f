#include "render/print_char.h"

#include <cstring>

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

// What every glyph of a line shares: the pixel coordinate across the line
// and the margin offset along it. It is kept together with everything it
// was computed from, so a new line, a margin, a turn or another device
// computes it anew; only the pen's way along the line is converted per glyph.
struct TLineGeometry {
  bool Valid;
  int32_t Rotated;
  double PenY;
  int32_t LeftMargin;
  int32_t UpperMargin;
  int32_t PageHeight;
  double PixelsPerMmX;
  double PixelsPerMmY;
  int32_t Across;       // upright Y, rotated X
  int32_t AlongOffset;  // upright added to X, rotated taken from Y
};

static TLineGeometry Line;

static bool GeometryHolds(const TLineGeometry& line, const TPrintState& state) {
  return line.Valid && line.Rotated == state.Rotated && line.PenY == state.PenY &&
         line.LeftMargin == state.LeftMargin && line.UpperMargin == state.UpperMargin &&
         line.PageHeight == state.PageHeight && line.PixelsPerMmX == state.PixelsPerMmX &&
         line.PixelsPerMmY == state.PixelsPerMmY;
}

static bool LineGeometryHolds(const TPrintState& state) { return GeometryHolds(Line, state); }

// Every page's lines lie where the page before had its own, so the
// geometry of the lines met lately is kept too, found by the line's pen.
constexpr int KeptLineBits = 8;
static TLineGeometry KeptLines[1 << KeptLineBits];

static TLineGeometry& KeptLineFor(double penY) {
  uint64_t bits;
  std::memcpy(&bits, &penY, sizeof bits);
  return KeptLines[(bits * 0x9E3779B97F4A7C15u) >> (64 - KeptLineBits)];
}

// Rotated lines run upward from the bottom of the printable area, and
// successive lines follow one another to the right.
// Kept out of line: it runs once a line, the check before it once a glyph.
[[gnu::noinline]] static void ComputeLineGeometry(const TPrintState& state) {
  TLineGeometry& kept = KeptLineFor(state.PenY);
  if (GeometryHolds(kept, state)) {
    Line = kept;
    return;
  }
  Line.Valid = false;
  if (state.Rotated == 0) {
    Line.AlongOffset = MarginOffsetX(state.LeftMargin);
    Line.Across = AddWrapped(ToDeviceY(CentredDown(state.PenY)), MarginOffsetY(state.UpperMargin));
  } else {
    Line.Across = AddWrapped(ToDeviceX(CentredDown(state.PenY)), MarginOffsetX(state.UpperMargin));
    Line.AlongOffset = MarginOffsetY(state.LeftMargin);
  }
  Line.Rotated = state.Rotated;
  Line.PenY = state.PenY;
  Line.LeftMargin = state.LeftMargin;
  Line.UpperMargin = state.UpperMargin;
  Line.PageHeight = state.PageHeight;
  Line.PixelsPerMmX = state.PixelsPerMmX;
  Line.PixelsPerMmY = state.PixelsPerMmY;
  Line.Valid = true;
  kept = Line;
}

static inline void UpdateLineGeometry(const TPrintState& state) {
  if (!LineGeometryHolds(state)) ComputeLineGeometry(state);
}

static double RotatedAlong(const TPrintState& state) {
  return StoreDouble(static_cast<TExtended>(state.PageHeight) -
                     (static_cast<TExtended>(state.PenX) + 0.5L));
}

// The pen's way along a line repeats from line to line: lines start at the
// same place and step by the same cell. Each column's conversion is
// remembered with the pen it was computed from, bit for bit, so a glyph on
// a known step costs a comparison instead of the extended-precision
// arithmetic, and the result is the same by construction. A few walks are
// kept, one for each cell, density and page height met lately (a heading
// of another size comes back on every page); a column whose pen differs
// from the remembered one is converted again and remembered instead.
struct TPenStep {
  uint64_t Pen;
  int32_t Along;  // pixels along the line, before the margin offset
  bool Known;
  double Next;  // the pen one cell on
};

constexpr int PenColumns = 256;

struct TPenWalk {
  double CellWidth;
  double PixelsPerMm;
  int32_t PageHeight;  // rotated walks only; upright ones keep 0
  int32_t Rotated;
  uint64_t LastUsed;
  TPenStep Steps[PenColumns];
};

constexpr int PenWalkCount = 4;
static TPenWalk PenWalks[PenWalkCount];
static TPenWalk* CurrentWalk;
static uint64_t WalkClock;

static uint64_t Bits(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

static bool WalkHolds(const TPenWalk& walk, double cellWidth, double pixelsPerMm,
                      int32_t pageHeight, int32_t rotated) {
  return Bits(walk.CellWidth) == Bits(cellWidth) && Bits(walk.PixelsPerMm) == Bits(pixelsPerMm) &&
         walk.PageHeight == pageHeight && walk.Rotated == rotated;
}

[[gnu::noinline]] static TPenWalk& FindWalk(double cellWidth, double pixelsPerMm,
                                            int32_t pageHeight, int32_t rotated) {
  TPenWalk* oldest = &PenWalks[0];
  for (TPenWalk& walk : PenWalks) {
    if (walk.LastUsed != 0 && WalkHolds(walk, cellWidth, pixelsPerMm, pageHeight, rotated)) {
      oldest = &walk;
      break;
    }
    if (walk.LastUsed < oldest->LastUsed) oldest = &walk;
  }
  TPenWalk& walk = *oldest;
  if (walk.LastUsed == 0 || !WalkHolds(walk, cellWidth, pixelsPerMm, pageHeight, rotated)) {
    walk.CellWidth = cellWidth;
    walk.PixelsPerMm = pixelsPerMm;
    walk.PageHeight = pageHeight;
    walk.Rotated = rotated;
    for (TPenStep& step : walk.Steps) step.Known = false;
  }
  walk.LastUsed = ++WalkClock;
  return walk;
}

static TPenStep& StepOfPen(const TPrintState& state) {
  int32_t rotated = state.Rotated != 0;
  double pixelsPerMm = rotated ? state.PixelsPerMmY : state.PixelsPerMmX;
  int32_t pageHeight = rotated ? state.PageHeight : 0;
  TPenWalk* walk = CurrentWalk;
  if (!walk || !WalkHolds(*walk, state.CellWidth, pixelsPerMm, pageHeight, rotated))
    CurrentWalk = walk = &FindWalk(state.CellWidth, pixelsPerMm, pageHeight, rotated);
  return walk->Steps[static_cast<uint32_t>(state.Column) % PenColumns];
}

static int32_t ConvertAlong(const TPrintState& state) {
  if (state.Rotated == 0) return ToDevicePixels(Centred(state.PenX), state.PixelsPerMmX);
  return ToDevicePixels(RotatedAlong(state), state.PixelsPerMmY);
}

static void DrawAt(const TPrintState& state, int32_t along, uint8_t shown) {
  int32_t x, y;
  if (state.Rotated == 0) {
    x = AddWrapped(along, Line.AlongOffset);
    y = Line.Across;
  } else {
    x = Line.Across;
    y = SubtractWrapped(along, Line.AlongOffset);
  }
  char text = static_cast<char>(shown);
  TextOutA(state.PrinterDC, x, y, &text, 1);
}

void PrintChar(uint8_t byte) {
  if (!PageInRange()) return;
  TPrintState& state = PrintState;
  if (state.PageStartPending != 0) BeginPageIfPending();
  uint8_t shown = ConversionTable[byte];
  // Only the converted byte decides whether it is a tab.
  if (shown == 9) {
    AdvanceToTabStop();
    return;
  }
  TPenStep& step = StepOfPen(state);
  uint64_t pen = Bits(state.PenX);
  if (step.Known && step.Pen == pen) {
    UpdateLineGeometry(state);
    DrawAt(state, step.Along, shown);
    state.Column = AddWrapped(state.Column, 1);
    state.PenX = step.Next;
    return;
  }
  // The terms are converted in the order of the coordinates, x first, so
  // that a position that cannot be converted fails the same way however
  // much of its line is remembered.
  int32_t along;
  if (state.Rotated == 0) {
    along = ConvertAlong(state);
    UpdateLineGeometry(state);
  } else {
    UpdateLineGeometry(state);
    along = ConvertAlong(state);
  }
  DrawAt(state, along, shown);
  state.Column = AddWrapped(state.Column, 1);
  state.PenX = StoreDouble(static_cast<TExtended>(state.PenX) + state.CellWidth);
  step = TPenStep{pen, along, true, state.PenX};
}

// Within a run of glyphs nothing but the pen moves, so once the first
// glyph has settled the page, the line and the walk, the rest take their
// steps without asking again, for as long as each step is a known one.
void PrintChars(const uint8_t* bytes, size_t count) {
  TPrintState& state = PrintState;
  size_t at = 0;
  while (at < count) {
    PrintChar(bytes[at++]);
    if (!PageInRange()) return;
    TPenWalk* walk = CurrentWalk;
    int32_t rotated = state.Rotated != 0;
    if (state.PageStartPending != 0 || !walk || !LineGeometryHolds(state) ||
        !WalkHolds(*walk, state.CellWidth, rotated ? state.PixelsPerMmY : state.PixelsPerMmX,
                   rotated ? state.PageHeight : 0, rotated))
      continue;
    while (at < count) {
      uint8_t shown = ConversionTable[bytes[at]];
      TPenStep& step = walk->Steps[static_cast<uint32_t>(state.Column) % PenColumns];
      if (shown == 9 || !step.Known || step.Pen != Bits(state.PenX)) break;
      DrawAt(state, step.Along, shown);
      state.Column = AddWrapped(state.Column, 1);
      state.PenX = step.Next;
      ++at;
    }
  }
}

}  // namespace tolvane
