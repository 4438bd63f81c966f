#include "device/bitmaps/stretch_placement.h"

#include <algorithm>
#include <cstdlib>

namespace tolvane {

namespace {

// One axis of a stretch: the destination interval [d0, d0 + dSize) shows
// the source interval [s0, s0 + sSize), mirrored or not (source = scale *
// device + offset).
void AxisMapping(double d0, double dSize, double s0, double sSize, bool mirror, double& scale,
                 double& offset) {
  scale = sSize / dSize;
  if (mirror) {
    scale = -scale;
    offset = s0 + sSize + d0 * sSize / dSize;
  } else {
    offset = s0 - d0 * sSize / dSize;
  }
}

}  // namespace

bool PlaceStretch(const TStretchCall& call, int64_t imageHeight, bool bottomUp,
                  double printableWidth, double printableHeight, TStretchPlacement& placement) {
  int64_t destWidth = std::abs(int64_t{call.DestWidth});
  int64_t destHeight = std::abs(int64_t{call.DestHeight});
  int64_t srcWidth = std::abs(int64_t{call.SrcWidth});
  int64_t srcHeight = std::abs(int64_t{call.SrcHeight});
  if (destWidth == 0 || destHeight == 0 || srcWidth == 0 || srcHeight == 0) return false;
  double dx0 = call.DestWidth < 0 ? double(call.XDest) + call.DestWidth : call.XDest;
  double dy0 = call.DestHeight < 0 ? double(call.YDest) + call.DestHeight : call.YDest;
  // A bottom-up bitmap counts its source rows from the bottom, a top-down
  // one from the top. A top-down bitmap's source height may carry the
  // bitmap's own negative sign (the job passes the header's height as it
  // is): only its size counts then, so the picture comes out upright.
  double sy0 = bottomUp ? double(imageHeight - call.YSrc - srcHeight) : call.YSrc;
  bool mirrorX = (call.SrcWidth < 0) != (call.DestWidth < 0);
  bool mirrorY = (call.DestHeight < 0) != (bottomUp && call.SrcHeight < 0);
  AxisMapping(dx0, double(destWidth), call.XSrc, double(srcWidth), mirrorX, placement.ScaleX,
              placement.OffsetX);
  AxisMapping(dy0, double(destHeight), sy0, double(srcHeight), mirrorY, placement.ScaleY,
              placement.OffsetY);
  // Only the part inside the printable area is painted: that is its clip,
  // and far-off corners stay out of any fixed-point range.
  placement.Left = std::max(dx0, 0.0);
  placement.Top = std::max(dy0, 0.0);
  placement.Right = std::min(dx0 + double(destWidth), printableWidth);
  placement.Bottom = std::min(dy0 + double(destHeight), printableHeight);
  return placement.Right > placement.Left && placement.Bottom > placement.Top;
}

}  // namespace tolvane
