#include "os/dib_layout.h"

#include "os/win32.h"

namespace tolvane {

uint32_t ReadLittle32(const uint8_t* bytes) {
  return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
         uint32_t(bytes[3]) << 24;
}

uint16_t ReadLittle16(const uint8_t* bytes) { return uint16_t(bytes[0] | bytes[1] << 8); }

static void ReadCoreHeader(const uint8_t* block, TDibLayout& layout) {
  layout.Width = ReadLittle16(block + 4);
  layout.Height = ReadLittle16(block + 6);
  layout.BitCount = ReadLittle16(block + 10);
  layout.Compression = BI_RGB;
  layout.ColorEntrySize = 3;
  layout.ColorCount = layout.BitCount <= 8 ? 1u << layout.BitCount : 0;
}

static void ReadInfoHeader(const uint8_t* block, TDibLayout& layout) {
  layout.Width = static_cast<int32_t>(ReadLittle32(block + 4));
  layout.Height = static_cast<int32_t>(ReadLittle32(block + 8));
  layout.BitCount = ReadLittle16(block + 14);
  layout.Compression = ReadLittle32(block + 16);
  layout.ColorEntrySize = 4;
  uint32_t used = ReadLittle32(block + 32);
  layout.ColorCount = used != 0 ? used : (layout.BitCount <= 8 ? 1u << layout.BitCount : 0);
  // A plain info header is followed by the masks; the later headers hold them.
  const uint32_t BI_ALPHABITFIELDS = 6;
  if (layout.HeaderSize == 40 && layout.Compression == BI_BITFIELDS) layout.MaskCount = 3;
  if (layout.HeaderSize == 40 && layout.Compression == BI_ALPHABITFIELDS) layout.MaskCount = 4;
  if (layout.HeaderSize > 40) layout.MaskCount = layout.HeaderSize >= 56 ? 4 : 3;
}

// The pixel bytes that the header's size and depth call for; 0 when the
// device alone can tell (compressed data states its own size).
static uint64_t NeededPixelBytes(TDibLayout& layout, const uint8_t* block) {
  bool packed = layout.Compression == BI_RGB || layout.Compression == BI_BITFIELDS ||
                layout.Compression == 6;
  uint64_t width = layout.Width < 0 ? 0 : uint64_t(layout.Width);
  uint64_t height = layout.Height < 0 ? uint64_t(-layout.Height) : uint64_t(layout.Height);
  // Width and depth are below 2^32 and 2^16, so the row never overflows.
  layout.RowBytes = (width * layout.BitCount + 31) / 32 * 4;
  if (packed) {
    if (height != 0 && layout.RowBytes > UINT64_MAX / height) return UINT64_MAX;
    return layout.RowBytes * height;
  }
  return layout.HeaderSize >= 40 ? ReadLittle32(block + 20) : 0;
}

bool DescribeDib(const uint8_t* block, size_t blockSize, int64_t bitsOffset, TDibLayout& layout,
                 std::string& reason) {
  layout = TDibLayout{};
  if (blockSize < 12) {
    reason = "the bitmap information is longer than the file";
    return false;
  }
  layout.HeaderSize = ReadLittle32(block);
  if (layout.HeaderSize > blockSize) {
    reason = "the bitmap information is longer than the file";
    return false;
  }
  if (layout.HeaderSize != 12 && layout.HeaderSize < 40) {
    reason = "the bitmap information has a size that no bitmap header has";
    return false;
  }
  if (layout.HeaderSize == 12)
    ReadCoreHeader(block, layout);
  else
    ReadInfoHeader(block, layout);
  layout.MasksOffset = layout.HeaderSize;
  uint64_t masksEnd = layout.HeaderSize + (layout.HeaderSize == 40 ? 4ull * layout.MaskCount : 0);
  layout.ColorsOffset = static_cast<size_t>(masksEnd);
  uint64_t tableEnd = masksEnd + uint64_t(layout.ColorCount) * layout.ColorEntrySize;
  if (tableEnd > blockSize) {
    reason = "the colour table is longer than the file";
    return false;
  }
  if (bitsOffset < 0 || uint64_t(bitsOffset) > blockSize) {
    reason = "the pixel bits lie outside the file";
    return false;
  }
  layout.PixelBytes = NeededPixelBytes(layout, block);
  if (layout.PixelBytes > blockSize - uint64_t(bitsOffset)) {
    reason = "the pixel bits are shorter than the bitmap's size";
    return false;
  }
  return true;
}

}  // namespace tolvane
