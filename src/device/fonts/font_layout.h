// How a font description is laid out on a device, sized the way the
// graphics device interface sizes fonts, in device pixels.
#pragma once

#include <cstdint>

#include "device/device.h"
#include "device/fonts/font_face.h"

namespace tolvane {

// An affine map: x' = XX x + XY y + X0, y' = YX x + YY y + Y0.
struct TFontMatrix {
  double XX, YX, XY, YY, X0, Y0;
};

// How a LOGFONTA is laid out on a device of dpiX by dpiY.
struct TFontLayout {
  TFontMatrix Matrix;           // font space (an em of 1) to device pixels
  double BaselineX, BaselineY;  // from the cell's top-left corner to the glyph origin
  double AdvanceX, AdvanceY;    // device pixels per font unit along the text
  double CellX, CellY;          // the cell's height, from its top to its bottom
};
TFontLayout LayOutFont(const LOGFONTA& font, const TFontMetrics& metrics, int32_t dpiX,
                       int32_t dpiY);

// The size that a height of 0 stands for, in points.
constexpr double DefaultFontPoints = 12.0;

}  // namespace tolvane
