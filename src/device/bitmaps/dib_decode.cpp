// The decoding itself is stb_image's. It reads BMP files, and it finds the
// palette and the pixels by the file's own offsets, which need not agree
// with how StretchDIBits finds them (the palette by its entry count, the
// pixels by a pointer of their own). So the bitmap is handed over as a
// BMP file written afresh: a file header, a plain information header,
// masks, a palette of every entry a pixel can name, and the rows; each part
// copied from where the graphics device interface would read it. What stb
// refuses of the masks (wider than 8 bits, empty, all three alike) is
// decoded here.
#include "device/bitmaps/dib_decode.h"

#include <stb_image.h>

#include <cstring>

#include "os/win32.h"
#include "os/dib_layout.h"

namespace tolvane {

namespace {

constexpr uint32_t AlphaBitFields = 6;  // BI_ALPHABITFIELDS
constexpr size_t FileHeaderSize = 14;
constexpr size_t InfoHeaderSize = 40;

struct TMasks {
  uint32_t Red, Green, Blue;
};

void Put16(std::vector<uint8_t>& bytes, uint16_t value) {
  bytes.push_back(static_cast<uint8_t>(value));
  bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void Put32(std::vector<uint8_t>& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
}

bool ReadMasks(const uint8_t* data, const TDibLayout& layout, TMasks& masks, std::string& reason) {
  if (layout.Compression == BI_RGB) {
    masks = layout.BitCount == 16 ? TMasks{0x7C00, 0x03E0, 0x001F}
                                  : TMasks{0xFF0000, 0x00FF00, 0x0000FF};
    return true;
  }
  // After a plain header the masks follow it; the later headers hold them
  // from byte 40 on. DescribeDib has checked that the former lie inside the
  // block; the header itself lies inside it too.
  if (layout.HeaderSize > InfoHeaderSize && layout.HeaderSize < InfoHeaderSize + 12) {
    reason = "the bitmap header is too short for its masks";
    return false;
  }
  const uint8_t* at = data + InfoHeaderSize;
  masks = TMasks{ReadLittle32(at), ReadLittle32(at + 4), ReadLittle32(at + 8)};
  return true;
}

int BitCount(uint32_t mask) {
  int count = 0;
  for (; mask; mask &= mask - 1) ++count;
  return count;
}

bool StbReadsMasks(const TMasks& masks) {
  for (uint32_t mask : {masks.Red, masks.Green, masks.Blue})
    if (mask == 0 || BitCount(mask) > 8) return false;
  return !(masks.Red == masks.Green && masks.Green == masks.Blue);
}

// One channel of a pixel as 8 bits: the mask's bits moved down, then
// stretched (or cut) to eight, so that a full field is 255.
uint8_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  uint32_t field = mask >> shift;
  uint64_t value = (pixel >> shift) & field;
  return static_cast<uint8_t>((value * 255 + field / 2) / field);
}

void DecodeBitFields(const uint8_t* rows, const TDibLayout& layout, const TMasks& masks,
                     TDecodedBitmap& bitmap) {
  size_t width = static_cast<size_t>(bitmap.Width);
  size_t height = static_cast<size_t>(bitmap.Height);
  bitmap.Rgb.resize(width * height * 3);
  for (size_t row = 0; row < height; ++row) {
    size_t stored = bitmap.BottomUp ? height - 1 - row : row;
    const uint8_t* in = rows + stored * layout.RowBytes;
    uint8_t* out = bitmap.Rgb.data() + row * width * 3;
    for (size_t column = 0; column < width; ++column) {
      uint32_t pixel = layout.BitCount == 16 ? ReadLittle16(in + column * 2)
                                             : ReadLittle32(in + column * 4);
      out[column * 3] = Channel(pixel, masks.Red);
      out[column * 3 + 1] = Channel(pixel, masks.Green);
      out[column * 3 + 2] = Channel(pixel, masks.Blue);
    }
  }
}

// The palette as the graphics device interface reads it (its entry count,
// 3 bytes an entry after the old core header), widened to every index that
// a pixel of this depth can hold; indices past the table are black.
void PutPalette(std::vector<uint8_t>& file, const uint8_t* data, const TDibLayout& layout) {
  uint32_t entries = 1u << layout.BitCount;
  uint32_t stored = layout.ColorCount < entries ? layout.ColorCount : entries;
  const uint8_t* table = data + layout.ColorsOffset;
  for (uint32_t entry = 0; entry < entries; ++entry) {
    if (entry < stored) {
      const uint8_t* color = table + entry * layout.ColorEntrySize;
      file.insert(file.end(), {color[0], color[1], color[2], 0});
    } else {
      file.insert(file.end(), {0, 0, 0, 0});
    }
  }
}

std::vector<uint8_t> BmpFile(const uint8_t* data, const uint8_t* rows, const TDibLayout& layout,
                             const TMasks* masks) {
  bool palette = layout.BitCount <= 8;
  size_t tableBytes = palette ? (size_t{4} << layout.BitCount) : masks ? 12 : 0;
  size_t bitsOffset = FileHeaderSize + InfoHeaderSize + tableBytes;
  std::vector<uint8_t> file;
  file.reserve(bitsOffset + layout.PixelBytes);
  file.push_back('B');
  file.push_back('M');
  Put32(file, static_cast<uint32_t>(bitsOffset + layout.PixelBytes));
  Put32(file, 0);
  Put32(file, static_cast<uint32_t>(bitsOffset));
  Put32(file, InfoHeaderSize);
  Put32(file, static_cast<uint32_t>(layout.Width));
  Put32(file, static_cast<uint32_t>(static_cast<int32_t>(layout.Height)));
  Put16(file, 1);
  Put16(file, static_cast<uint16_t>(layout.BitCount));
  Put32(file, masks ? BI_BITFIELDS : BI_RGB);
  Put32(file, static_cast<uint32_t>(layout.PixelBytes));
  Put32(file, 0);
  Put32(file, 0);
  Put32(file, palette ? 1u << layout.BitCount : 0);
  Put32(file, 0);
  if (masks) {
    Put32(file, masks->Red);
    Put32(file, masks->Green);
    Put32(file, masks->Blue);
  }
  if (palette) PutPalette(file, data, layout);
  file.insert(file.end(), rows, rows + layout.PixelBytes);
  return file;
}

bool DecodeWithStb(const std::vector<uint8_t>& file, TDecodedBitmap& bitmap,
                   std::string& reason) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &width,
                                          &height, &channels, 3);
  if (!pixels) {
    const char* why = stbi_failure_reason();
    reason = std::string("the bitmap cannot be decoded: ") + (why ? why : "unknown reason");
    return false;
  }
  bool sameSize = width == bitmap.Width && height == bitmap.Height;
  if (sameSize)
    bitmap.Rgb.assign(pixels, pixels + size_t(width) * size_t(height) * 3);
  stbi_image_free(pixels);
  if (!sameSize) reason = "the bitmap decodes to another size than its header gives";
  return sameSize;
}

bool CheckLayout(const TDibLayout& layout, std::string& reason) {
  switch (layout.BitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default:
      reason = "the bitmap has a depth of " + std::to_string(layout.BitCount) + " bits";
      return false;
  }
  bool masked = layout.Compression == BI_BITFIELDS || layout.Compression == AlphaBitFields;
  if (layout.Compression != BI_RGB && !masked) {
    reason = "the bitmap's rows are compressed";
    return false;
  }
  if (masked && layout.BitCount != 16 && layout.BitCount != 32) {
    reason = "bit-field masks need 16 or 32 bits per pixel";
    return false;
  }
  int64_t height = layout.Height < 0 ? -layout.Height : layout.Height;
  if (layout.Width <= 0 || height == 0) {
    reason = "the bitmap has no pixels";
    return false;
  }
  if (layout.Width > MaxBitmapSide || height > MaxBitmapSide ||
      layout.Width * height > MaxBitmapPixels) {
    reason = "the bitmap is larger than the device paints";
    return false;
  }
  return true;
}

}  // namespace

bool DecodeDib(const TBitmapBlock& block, TDecodedBitmap& bitmap, std::string& reason) {
  bitmap = TDecodedBitmap{};
  if (!block.Located || !block.Data) {
    reason = "the bitmap lies in no known memory block";
    return false;
  }
  TDibLayout layout;
  if (!DescribeDib(block.Data, block.Size, block.BitsOffset, layout, reason)) return false;
  if (!CheckLayout(layout, reason)) return false;
  bitmap.Width = static_cast<int32_t>(layout.Width);
  bitmap.Height = static_cast<int32_t>(layout.Height < 0 ? -layout.Height : layout.Height);
  bitmap.BottomUp = layout.Height > 0;
  const uint8_t* rows = block.Data + block.BitsOffset;
  if (layout.BitCount == 16 || layout.BitCount == 32) {
    TMasks masks;
    if (!ReadMasks(block.Data, layout, masks, reason)) return false;
    if (!StbReadsMasks(masks)) {
      DecodeBitFields(rows, layout, masks, bitmap);
      return true;
    }
    return DecodeWithStb(BmpFile(block.Data, rows, layout, &masks), bitmap, reason);
  }
  return DecodeWithStb(BmpFile(block.Data, rows, layout, nullptr), bitmap, reason);
}

}  // namespace tolvane
