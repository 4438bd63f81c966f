#include "device/sheet_frame.h"

namespace tolvane {

namespace {

constexpr double PointsPerInch = 72.0;
constexpr double MicrometresPerInch = 25400.0;

}  // namespace

TSheetFrame SheetFrame(const TPrinterGeometry& geometry, bool inPoints) {
  TSheetFrame frame{};
  // Whole pixels in from the corner, as PHYSICALOFFSETX and Y report it.
  double offsetX = MicrometresToPixels(geometry.MarginLeftMicro, geometry.DpiX);
  double offsetY = MicrometresToPixels(geometry.MarginTopMicro, geometry.DpiY);
  if (inPoints) {
    frame.ScaleX = PointsPerInch / geometry.DpiX;
    frame.ScaleY = PointsPerInch / geometry.DpiY;
    frame.Width = geometry.PaperWidthMicro / MicrometresPerInch * PointsPerInch;
    frame.Height = geometry.PaperHeightMicro / MicrometresPerInch * PointsPerInch;
  } else {
    frame.ScaleX = frame.ScaleY = 1;
    frame.Width = MicrometresToPixels(geometry.PaperWidthMicro, geometry.DpiX);
    frame.Height = MicrometresToPixels(geometry.PaperHeightMicro, geometry.DpiY);
  }
  frame.OriginX = offsetX * frame.ScaleX;
  frame.OriginY = offsetY * frame.ScaleY;
  return frame;
}

}  // namespace tolvane
