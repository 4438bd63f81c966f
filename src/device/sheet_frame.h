// Where a printer's sheet lies on a surface that draws it, for the output
// kinds that draw whole sheets (the document writers, cairo's surfaces).
#pragma once

#include "device/device.h"

namespace tolvane {

// The sheet in the surface's units: its size, and where device pixel (0,0)
// lies on it (the printable area's top-left corner, whole pixels in).
struct TSheetFrame {
  double Width, Height;    // the sheet
  double OriginX, OriginY; // device pixel (0,0)
  double ScaleX, ScaleY;   // surface units per device pixel
};
TSheetFrame SheetFrame(const TPrinterGeometry& geometry, bool inPoints);

}  // namespace tolvane
