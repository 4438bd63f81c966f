// Where a StretchDIBits puts its bitmap on a page whose user space is device
// pixels, for the drawing cores that paint bitmaps (cairo's and the PDF
// writer's).
#pragma once

#include <cstdint>

#include "device/device.h"

namespace tolvane {

struct TStretchPlacement {
  // The part of the destination inside the printable area.
  double Left, Top, Right, Bottom;
  // Source pixel = scale * device pixel + offset, along each axis; the
  // source's rows count from the picture's top.
  double ScaleX, OffsetX, ScaleY, OffsetY;
};

// The destination rectangle shows the source rectangle, mirrored where the
// signs of the sizes say. False when nothing of it lies in the printable
// area or a size is 0.
bool PlaceStretch(const TStretchCall& call, int64_t imageHeight, bool bottomUp,
                  double printableWidth, double printableHeight, TStretchPlacement& placement);

}  // namespace tolvane
