// Where the parts of a device-independent bitmap lie in its memory block,
// and whether they all lie inside it. The logo command uses it to refuse a
// broken file before anything reads the block; devices that paint bitmaps
// use it to find the palette, the masks and the rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolvane {

struct TDibLayout {
  uint32_t HeaderSize;     // 12 for the old core header, 40 or more otherwise
  int64_t Width;
  int64_t Height;          // negative: rows run top-down
  uint32_t BitCount;
  uint32_t Compression;
  uint32_t ColorCount;     // palette entries
  uint32_t ColorEntrySize; // 3 after a core header, 4 otherwise
  size_t MasksOffset;      // bit-field masks (red, green, blue, alpha), if any
  uint32_t MaskCount;
  size_t ColorsOffset;     // the palette, from the block's start
  uint64_t RowBytes;       // one row of pixels, padded to four bytes
  uint64_t PixelBytes;     // all rows, or the compressed size
};

// Describes the bitmap whose information starts the block of blockSize
// bytes and whose pixel bits start bitsOffset bytes into it. Returns false
// with a reason when any part would lie outside the block.
bool DescribeDib(const uint8_t* block, size_t blockSize, int64_t bitsOffset, TDibLayout& layout,
                 std::string& reason);

uint32_t ReadLittle32(const uint8_t* bytes);
uint16_t ReadLittle16(const uint8_t* bytes);

}  // namespace tolvane
