// A report switches between a face and its bold one inside its lines. The
// two share the pitch but not the height of an em nor the baseline (their
// ascents differ), so that every switch would set the size, the width and
// a rise and set them back. Drawn in the frame of the other font instead
// (its text matrix, size, width and glyph origin) with its outlines
// mapped to make up for it, the bold face changes only the font's name.
#include <cmath>

#include "device/pdf/pdf_text.h"
#include "device/sfnt/sfnt_tables.h"

namespace tolvane {

namespace {

// How far the map may scale a face, and shift it in ems: a bold face of a
// cell (a few percent and a few pixels off); no further, so that what a
// reader makes of the text (sizes, the boxes of words) stays the face's.
constexpr double FrameScaleReach = 0.25;
constexpr double FrameShiftReach = 0.25;

bool SameDirection(const TPdfTextFont& a, const TPdfTextFont& b) {
  for (int i = 0; i < 4; ++i)
    if (std::fabs(a.Matrix[i] - b.Matrix[i]) > 1e-12) return false;
  return true;
}

// Only outlines that the program's own subsetter reads can be mapped.
bool HasTrueTypeOutlines(const TFontFace& face) {
  return !face.Sfnt.empty() && !FindSfntTable(face.Sfnt, face.SfntDirectory, "glyf").empty();
}

}  // namespace

bool FramePdfTextFont(TPdfTextFont& font, const TPdfTextFont& frame) {
  if (!font.Face || !frame.Face || frame.Framed || !SameDirection(font, frame) ||
      !HasTrueTypeOutlines(*font.Face))
    return false;
  // Pixels per em of the face as the device draws it, and of the frame as
  // a reader draws its codes: along the text with the width written, up
  // the glyphs with the size.
  const TFontMatrix& own = font.Layout.Matrix;
  const TFontMatrix& its = frame.Layout.Matrix;
  double drawn[2][2] = {{own.XX, -own.XY}, {own.YX, -own.YY}};
  double framed[2][2] = {{frame.Scale * frame.UnitX, -its.XY}, {frame.Scale * frame.UnitY, -its.YY}};
  double det = framed[0][0] * framed[1][1] - framed[0][1] * framed[1][0];
  if (!(std::fabs(det) > 0)) return false;
  double inverse[2][2] = {{framed[1][1] / det, -framed[0][1] / det},
                          {-framed[1][0] / det, framed[0][0] / det}};
  double map[2][2];
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 2; ++column)
      map[row][column] =
          inverse[row][0] * drawn[0][column] + inverse[row][1] * drawn[1][column];
  // The glyph is placed at the frame's origin, off its own by this much.
  double offX = font.Layout.BaselineX - frame.Layout.BaselineX;
  double offY = font.Layout.BaselineY - frame.Layout.BaselineY;
  double upem = font.Face->Metrics.UnitsPerEm;
  double shiftX = (inverse[0][0] * offX + inverse[0][1] * offY) * upem;
  double shiftY = (inverse[1][0] * offX + inverse[1][1] * offY) * upem;
  bool near = std::fabs(map[0][0] - 1) <= FrameScaleReach &&
              std::fabs(map[1][1] - 1) <= FrameScaleReach && std::fabs(map[0][1]) < 1e-9 &&
              std::fabs(map[1][0]) < 1e-9 && std::hypot(shiftX, shiftY) <= FrameShiftReach * upem;
  if (!near) return false;
  bool alike = std::fabs(map[0][0] - 1) < 1e-9 && std::fabs(map[1][1] - 1) < 1e-9 &&
               std::hypot(shiftX, shiftY) < 1e-6;
  if (alike) return false;  // nothing to make up for
  font.Framed = true;
  font.Transform = TSfntTransform{map[0][0], 0, 0, map[1][1], shiftX, shiftY};
  font.Vertical = frame.Vertical;
  font.Width = frame.Width;
  font.Scale = frame.Scale;
  std::copy(frame.Matrix, frame.Matrix + 4, font.Matrix);
  font.UnitX = frame.UnitX, font.UnitY = frame.UnitY;
  font.RiseAcross = frame.RiseAcross;
  font.OriginX = frame.Layout.BaselineX, font.OriginY = frame.Layout.BaselineY;
  font.Reach += std::hypot(offX, offY);
  font.Selection.clear(), font.WidthText.clear();
  return true;
}

}  // namespace tolvane
