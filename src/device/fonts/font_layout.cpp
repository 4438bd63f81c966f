#include "device/fonts/font_layout.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolvane {

namespace {

constexpr double LargestPixels = 100000.0;
constexpr double SmallestPixels = 0.01;

double Clamped(double pixels) { return std::clamp(pixels, SmallestPixels, LargestPixels); }

// Cosine and sine of an escapement in tenths of a degree, exact at the
// quarter turns so that rotated text lies on whole pixels.
void Direction(int32_t escapement, double& cosine, double& sine) {
  int32_t tenths = escapement % 3600;
  if (tenths < 0) tenths += 3600;
  switch (tenths) {
    case 0: cosine = 1; sine = 0; return;
    case 900: cosine = 0; sine = 1; return;
    case 1800: cosine = -1; sine = 0; return;
    case 2700: cosine = 0; sine = -1; return;
  }
  double radians = tenths * std::numbers::pi / 1800.0;
  cosine = std::cos(radians);
  sine = std::sin(radians);
}

}  // namespace

// Sizes follow the graphics device interface: a positive height is the cell
// (usWinAscent + usWinDescent), a negative one the em, 0 a default; a width
// makes the average character (xAvgCharWidth) that wide. Heights count in
// pixels of the axis the glyphs stand along, widths in those of the axis the
// text runs along, so turned text on a device whose pixels are not square
// keeps its proportions.
TFontLayout LayOutFont(const LOGFONTA& font, const TFontMetrics& metrics, int32_t dpiX,
                       int32_t dpiY) {
  double cosine, sine;
  Direction(font.lfEscapement, cosine, sine);
  double dpiAcross = std::fabs(cosine) * dpiX + std::fabs(sine) * dpiY;  // along the text
  double dpiUp = std::fabs(cosine) * dpiY + std::fabs(sine) * dpiX;      // along the glyphs
  double cellUnits = metrics.WinAscent + metrics.WinDescent;
  double emPixels;
  if (font.lfHeight > 0)
    emPixels = font.lfHeight * metrics.UnitsPerEm / cellUnits;
  else if (font.lfHeight < 0)
    emPixels = -static_cast<double>(font.lfHeight);
  else
    emPixels = DefaultFontPoints * dpiUp / 72.0;
  // The graphics device interface realises a font at a whole number of
  // pixels to the em, and puts its baseline a whole number of pixels below
  // the cell's top.
  emPixels = std::max(1.0, std::round(Clamped(emPixels)));
  double emHeight = emPixels / dpiUp;  // inches
  double emWidth = emHeight;
  if (font.lfWidth != 0) {
    double widthPixels = std::fabs(static_cast<double>(font.lfWidth));
    emWidth = Clamped(widthPixels * metrics.UnitsPerEm / metrics.AverageWidth) / dpiAcross;
  }
  // Font space runs right and down like the device; turning the text
  // counter-clockwise on the page takes (1, 0) to (cos, -sin) and (0, 1) to
  // (sin, cos). The inches then go to pixels of each device axis.
  TFontLayout layout{};
  layout.Matrix = TFontMatrix{emWidth * cosine * dpiX, -emWidth * sine * dpiY,
                                 emHeight * sine * dpiX, emHeight * cosine * dpiY, 0, 0};
  double ascent = std::round(emPixels * metrics.WinAscent / metrics.UnitsPerEm) / dpiUp;
  double cell = emHeight * cellUnits / metrics.UnitsPerEm;
  layout.BaselineX = ascent * sine * dpiX;
  layout.BaselineY = ascent * cosine * dpiY;
  layout.CellX = cell * sine * dpiX;
  layout.CellY = cell * cosine * dpiY;
  layout.AdvanceX = emWidth / metrics.UnitsPerEm * cosine * dpiX;
  layout.AdvanceY = -emWidth / metrics.UnitsPerEm * sine * dpiY;
  return layout;
}

}  // namespace tolvane
