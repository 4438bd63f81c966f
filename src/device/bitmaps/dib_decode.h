// Device-independent bitmaps as StretchDIBits hands them over, decoded into
// plain rows of colours: 1, 4 and 8 bits with palettes, 16 and 32 bits with
// or without bit-field masks, 24 bits, rows bottom-up or top-down.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/device.h"

namespace tolvane {

// The largest picture painted, so that a logo cannot make the device ask
// for gigabytes: 32767 pixels a side (what a cairo surface holds) and 32
// million pixels in all.
constexpr int64_t MaxBitmapSide = 32767;
constexpr int64_t MaxBitmapPixels = int64_t{1} << 25;

struct TDecodedBitmap {
  int32_t Width = 0;
  int32_t Height = 0;        // rows, whichever way they were stored
  bool BottomUp = true;      // how the rows were stored (positive height)
  std::vector<uint8_t> Rgb;  // red, green, blue per pixel, top row first
};

// Decodes the bitmap of a block. False, with a reason, for one that the
// device does not paint: no known block, a part of it outside the block,
// compressed rows, a depth or mask layout that no bitmap has, a picture
// above the limits. Nothing outside the block is ever read.
bool DecodeDib(const TBitmapBlock& block, TDecodedBitmap& bitmap, std::string& reason);

}  // namespace tolvane
