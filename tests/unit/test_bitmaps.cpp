// Bitmaps as StretchDIBits gets them: every depth and layout painted onto a
// sheet of the PNG driver in the right colours where the call puts them,
// mirrored where GDI mirrors; broken ones refused.
#include <stdlib.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <stb_image.h>

#include "device/device.h"
#include "device_scratch.h"
#include "device/bitmaps/dib_decode.h"

namespace tolvane {
namespace {

struct TColor {
  uint8_t R, G, B;
  bool operator==(const TColor& other) const {
    return R == other.R && G == other.G && B == other.B;
  }
};

std::ostream& operator<<(std::ostream& out, const TColor& c) {
  return out << "(" << int(c.R) << "," << int(c.G) << "," << int(c.B) << ")";
}

const TColor Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, White{255, 255, 255},
    Black{0, 0, 0}, Gray{128, 128, 128}, Olive{120, 130, 10}, Yellow{255, 255, 0};

void Put16(std::string& bytes, uint32_t value) {
  bytes += char(value & 0xff);
  bytes += char((value >> 8) & 0xff);
}

void Put32(std::string& bytes, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes += char((value >> shift) & 0xff);
}

// A bitmap of 2 x 2 pixels as a memory block: the information header, the
// masks, the palette, a gap and the rows. Pixels holds each stored value
// (palette index or packed colour), visual rows top first.
struct TDib {
  uint16_t BitCount = 24;
  uint32_t Compression = BI_RGB;
  uint32_t HeaderSize = 40;
  bool TopDown = false;
  uint32_t ColorsUsed = 0;
  std::vector<uint32_t> Masks;  // after a 40-byte header, inside a later one
  std::vector<TColor> Palette;
  size_t Gap = 0;
  std::array<std::array<uint32_t, 2>, 2> Pixels{};
  int32_t Width = 2;

  std::string Row(int visualRow) const {
    std::string row;
    uint32_t bits = 0, count = 0;
    for (int column = 0; column < Width; ++column) {
      uint32_t value = Pixels[visualRow][column % 2];
      if (BitCount < 8) {
        bits = bits << BitCount | value;
        count += BitCount;
        if (count == 8) row += char(bits), bits = count = 0;
      } else {
        for (int byte = 0; byte < BitCount / 8; ++byte) row += char((value >> (8 * byte)) & 0xff);
      }
    }
    if (count) row += char(bits << (8 - count));
    while (row.size() % 4) row += '\0';
    return row;
  }

  std::string Block(size_t& bitsOffset) const {
    std::string block;
    if (HeaderSize == 12) {
      Put32(block, 12);
      Put16(block, uint16_t(Width));
      Put16(block, 2);
      Put16(block, 1);
      Put16(block, BitCount);
    } else {
      Put32(block, HeaderSize);
      Put32(block, uint32_t(Width));
      Put32(block, uint32_t(TopDown ? -2 : 2));
      Put16(block, 1);
      Put16(block, BitCount);
      Put32(block, Compression);
      Put32(block, 0);
      Put32(block, 2835);
      Put32(block, 2835);
      Put32(block, ColorsUsed);
      Put32(block, 0);
      std::string masks;
      for (uint32_t mask : Masks) Put32(masks, mask);
      if (HeaderSize > 40) masks.resize(HeaderSize - 40, '\0');
      block += masks;
    }
    for (const TColor& color : Palette) {
      block += char(color.B);
      block += char(color.G);
      block += char(color.R);
      if (HeaderSize != 12) block += '\0';
    }
    block += std::string(Gap, '\x5a');
    bitsOffset = block.size();
    for (int stored = 0; stored < 2; ++stored) block += Row(TopDown ? stored : 1 - stored);
    return block;
  }
};

// A case: the bitmap, and the colours it shows, top row first.
struct TCase {
  const char* Name;
  TDib Dib;
  std::array<std::array<TColor, 2>, 2> Shows;
};

TDib Indexed(uint16_t bits, std::vector<TColor> palette, std::array<std::array<uint32_t, 2>, 2> pixels) {
  TDib dib;
  dib.BitCount = bits;
  dib.Palette = palette;
  dib.ColorsUsed = uint32_t(palette.size());
  dib.Pixels = pixels;
  return dib;
}

TDib Packed(uint16_t bits, uint32_t compression, std::vector<uint32_t> masks,
            std::array<std::array<uint32_t, 2>, 2> pixels) {
  TDib dib;
  dib.BitCount = bits;
  dib.Compression = compression;
  dib.Masks = masks;
  dib.Pixels = pixels;
  return dib;
}

std::vector<TCase> Cases() {
  std::vector<TCase> cases;
  cases.push_back({"1 bit", Indexed(1, {Red, Blue}, {{{0, 1}, {1, 0}}}), {{{Red, Blue}, {Blue, Red}}}});
  cases.push_back({"4 bits, 3 colours", Indexed(4, {Red, Green, Blue}, {{{0, 1}, {2, 0}}}),
                   {{{Red, Green}, {Blue, Red}}}});
  TDib full = Indexed(8, std::vector<TColor>(256, Olive), {{{0, 1}, {2, 255}}});
  full.Palette[0] = Red, full.Palette[1] = Green, full.Palette[2] = Blue, full.Palette[255] = Gray;
  full.ColorsUsed = 0;  // all 256
  cases.push_back({"8 bits, full palette", full, {{{Red, Green}, {Blue, Gray}}}});
  cases.push_back({"8 bits, an index past the palette is black",
                   Indexed(8, {Red, Green}, {{{0, 7}, {1, 0}}}), {{{Red, Black}, {Green, Red}}}});
  TDib core = Indexed(8, {White, Blue, Green}, {{{0, 1}, {2, 1}}});
  core.HeaderSize = 12;
  core.Palette.resize(256, Black);  // the old header has no count: every entry
  cases.push_back({"8 bits after the old core header", core, {{{White, Blue}, {Green, Blue}}}});
  TDib gap = Indexed(8, {Red, Green}, {{{0, 1}, {1, 0}}});
  gap.Gap = 37;
  cases.push_back({"8 bits, pixels some way after the palette", gap, {{{Red, Green}, {Green, Red}}}});
  TDib topDown4 = Indexed(4, {Red, Green, Blue}, {{{0, 1}, {2, 2}}});
  topDown4.TopDown = true;
  cases.push_back({"4 bits top-down", topDown4, {{{Red, Green}, {Blue, Blue}}}});
  cases.push_back({"16 bits, 5-5-5", Packed(16, BI_RGB, {}, {{{0x7C00, 0x03E0}, {0x001F, 0x7FFF}}}),
                   {{{Red, Green}, {Blue, White}}}});
  cases.push_back({"16 bits, 5-6-5 masks",
                   Packed(16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {{{0xF800, 0x07E0}, {0x001F, 0}}}),
                   {{{Red, Green}, {Blue, Black}}}});
  TDib v5 = Packed(16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F, 0}, {{{0x07E0, 0xF800}, {0xFFFF, 0x001F}}});
  v5.HeaderSize = 124;
  cases.push_back({"16 bits, masks inside a version 5 header", v5, {{{Green, Red}, {White, Blue}}}});
  cases.push_back({"16 bits, no blue mask",
                   Packed(16, BI_BITFIELDS, {0xF800, 0x07E0, 0}, {{{0xFFFF, 0xF800}, {0x07E0, 0}}}),
                   {{{Yellow, Red}, {Green, Black}}}});
  cases.push_back({"24 bits bottom-up, rows padded",
                   Packed(24, BI_RGB, {}, {{{0xFF0000, 0x00FF00}, {0x0000FF, 0x808080}}}),
                   {{{Red, Green}, {Blue, Gray}}}});
  TDib topDown24 = Packed(24, BI_RGB, {}, {{{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}}});
  topDown24.TopDown = true;
  cases.push_back({"24 bits top-down", topDown24, {{{Red, Green}, {Blue, White}}}});
  cases.push_back({"32 bits, the fourth byte ignored",
                   Packed(32, BI_RGB, {}, {{{0x00FF0000, 0x7F00FF00}, {0xFF0000FF, 0x12000000}}}),
                   {{{Red, Green}, {Blue, Black}}}});
  cases.push_back({"32 bits, masks in another order",
                   Packed(32, BI_BITFIELDS, {0x0000FF, 0x00FF00, 0xFF0000},
                          {{{0x0000FF, 0x00FF00}, {0xFF0000, 0x808080}}}),
                   {{{Red, Green}, {Blue, Gray}}}});
  cases.push_back({"32 bits, 10-bit masks",
                   Packed(32, BI_BITFIELDS, {0x3FF00000, 0x000FFC00, 0x000003FF},
                          {{{0x3FF00000, 0x000FFC00}, {0x000003FF, 0x3FFFFFFF}}}),
                   {{{Red, Green}, {Blue, White}}}});
  cases.push_back({"32 bits, masks with alpha after a plain header",
                   Packed(32, 6, {0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000},
                          {{{0x00FF0000, 0x0000FF00}, {0x000000FF, 0x00FFFFFF}}}),
                   {{{Red, Green}, {Blue, White}}}});
  TDib v4 = Packed(32, BI_RGB, {0x0000FF, 0x00FF00, 0xFF0000, 0}, {{{0xFF0000, 0x00FF00}, {0x0000FF, 0}}});
  v4.HeaderSize = 108;  // masks that BI_RGB ignores
  cases.push_back({"32 bits after a version 4 header", v4, {{{Red, Green}, {Blue, Black}}}});
  return cases;
}

TBitmapBlock BlockOf(const std::string& bytes, size_t bitsOffset) {
  return TBitmapBlock{reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                      int64_t(bitsOffset), true};
}

TEST(Bitmaps, BrokenOrUnpaintableBitmapsAreRefused) {
  TDib good = Packed(24, BI_RGB, {}, {{{1, 2}, {3, 4}}});
  size_t bitsOffset = 0;
  std::string block = good.Block(bitsOffset);
  struct Case {
    const char* why;
    std::string block;
    int64_t bitsOffset;
    bool located;
  } cases[] = {
      {"no known block", block, int64_t(bitsOffset), false},
      {"rows one byte short", block.substr(0, block.size() - 1), int64_t(bitsOffset), true},
      {"pixels outside the block", block, int64_t(block.size()) + 1, true},
      {"pixels before the block", block, -1, true},
      {"shorter than a header", block.substr(0, 10), 0, true},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  auto variant = [&](const char* why, auto change) {
    TDib dib = good;
    change(dib);
    size_t offset = 0;
    std::string bytes = dib.Block(offset);
    all.push_back({why, bytes, int64_t(offset), true});
  };
  variant("run-length rows (8 bits)", [](TDib& d) { d.BitCount = 8, d.Compression = BI_RLE8; });
  variant("run-length rows (4 bits)", [](TDib& d) { d.BitCount = 4, d.Compression = BI_RLE4; });
  variant("a JPEG inside", [](TDib& d) { d.Compression = BI_JPEG; });
  variant("masks on 24 bits", [](TDib& d) { d.Compression = BI_BITFIELDS, d.Masks = {1, 2, 4}; });
  variant("2 bits a pixel", [](TDib& d) { d.BitCount = 2; });
  variant("no width", [](TDib& d) { d.Width = 0; });
  variant("a negative width", [](TDib& d) { d.Width = -2; });
  variant("wider than the device paints", [](TDib& d) { d.BitCount = 1, d.Width = 40000; });
  variant("a palette longer than the block", [](TDib& d) { d.BitCount = 8, d.ColorsUsed = 100000; });
  variant("masks cut off by a short header",
          [](TDib& d) { d.Compression = BI_BITFIELDS, d.BitCount = 16, d.HeaderSize = 44, d.Masks = {0}; });
  for (const Case& c : all) {
    SCOPED_TRACE(c.why);
    TBitmapBlock located = BlockOf(c.block, 0);
    located.BitsOffset = c.bitsOffset;
    located.Located = c.located;
    TDecodedBitmap bitmap;
    std::string reason;
    EXPECT_FALSE(DecodeDib(located, bitmap, reason));
    EXPECT_FALSE(reason.empty());
  }
}

// Pictures painted through the PNG driver on sheets of 40 x 40 mm at 127
// dots per inch: 200 x 200 pixels, 5 to the millimetre.
class PaintedBitmaps : public DeviceScratchTest {
 protected:
  void SetUp() override {
    EnterScratch("tolvane_bitmaps", "[Pictures]\npaper=40x40\nresolution=127\n"
                                   "[Margins]\npaper=40x40\nresolution=127\nmargins=2,4,0,0\n");
  }

  // Paints the bitmap as the job does, from a memory block of its own.
  static int Paint(HDC dc, const TDib& dib, int x, int y, int width, int height,
                   int sourceHeight) {
    size_t bitsOffset = 0;
    std::string bytes = dib.Block(bitsOffset);
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    auto* data = static_cast<uint8_t*>(GlobalLock(handle));
    std::memcpy(data, bytes.data(), bytes.size());
    int lines = StretchDIBits(dc, x, y, width, height, 0, 0, dib.Width, sourceHeight,
                              data + bitsOffset, reinterpret_cast<const BITMAPINFO*>(data),
                              DIB_RGB_COLORS, SRCCOPY);
    GlobalUnlock(handle);
    GlobalFree(handle);
    return lines;
  }

  struct TSheet {
    int Width = 0, Height = 0;
    std::vector<uint8_t> Rgb;
    TColor At(int x, int y) const {
      const uint8_t* p = Rgb.data() + (size_t(y) * Width + x) * 3;
      return TColor{p[0], p[1], p[2]};
    }
  };
  // Paints each of count sheets through the PNG driver of the printer
  // Pictures, one sheet a paint call, into files named by pattern.
  template <typename TPaintSheet>
  static void PaintSheets(const char* pattern, size_t count, TPaintSheet paintSheet) {
    HDC dc = CreateDCA("PNG", "Pictures", pattern, nullptr);
    ASSERT_NE(dc, nullptr);
    DOCINFOA info{sizeof(DOCINFOA), "Bitmaps", nullptr, nullptr, 0};
    StartDocA(dc, &info);
    for (size_t i = 0; i < count; ++i) {
      StartPage(dc);
      paintSheet(dc, i);
      EndPage(dc);
    }
    EndDoc(dc);
    DeleteDC(dc);
  }

  static TSheet Load(const std::string& name) {
    TSheet sheet;
    int channels = 0;
    stbi_uc* pixels = stbi_load(name.c_str(), &sheet.Width, &sheet.Height, &channels, 3);
    if (pixels) sheet.Rgb.assign(pixels, pixels + size_t(sheet.Width) * sheet.Height * 3);
    stbi_image_free(pixels);
    return sheet;
  }

};

TEST_F(PaintedBitmaps, EveryCaseLandsInItsRectangle) {
  std::vector<TCase> cases = Cases();
  PaintSheets("case-%02d.png", cases.size(), [&](HDC dc, size_t i) {
    const TCase& c = cases[i];
    // The job passes the header's height as it is, negative for top-down.
    EXPECT_EQ(Paint(dc, c.Dib, 40, 60, 80, 100, c.Dib.TopDown ? -2 : 2), 2) << c.Name;
  });
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].Name);
    char name[32];
    std::snprintf(name, sizeof name, "case-%02zu.png", i + 1);
    TSheet sheet = Load(name);
    ASSERT_EQ(sheet.Width, 200);
    ASSERT_EQ(sheet.Height, 200);
    // Each source pixel is a block of 40 x 50; sampled well inside, and
    // just outside the rectangle the paper is still white.
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x)
        EXPECT_EQ(sheet.At(40 + 40 * x + 20, 60 + 50 * y + 25), cases[i].Shows[y][x]);
    EXPECT_EQ(sheet.At(39, 100), White);
    EXPECT_EQ(sheet.At(120, 100), White);
    EXPECT_EQ(sheet.At(80, 59), White);
    EXPECT_EQ(sheet.At(80, 160), White);
    EXPECT_EQ(sheet.At(40, 60), cases[i].Shows[0][0]);
    EXPECT_EQ(sheet.At(119, 159), cases[i].Shows[1][1]);
  }
}

TEST_F(PaintedBitmaps, NegativeSizesMirror) {
  TDib bottomUp = Packed(24, BI_RGB, {}, {{{0xFF0000, 0x00FF00}, {0x0000FF, 0xFFFFFF}}});
  TDib topDown = bottomUp;
  topDown.TopDown = true;
  struct Case {
    const char* why;
    const TDib& dib;
    int x, y, width, height, sourceHeight;
    std::array<std::array<TColor, 2>, 2> shows;
  } cases[] = {
      {"upright", bottomUp, 0, 0, 100, 100, 2, {{{Red, Green}, {Blue, White}}}},
      {"negative width: mirrored left to right", bottomUp, 100, 0, -100, 100, 2,
       {{{Green, Red}, {White, Blue}}}},
      {"negative height: mirrored top to bottom", bottomUp, 0, 100, 100, -100, 2,
       {{{Blue, White}, {Red, Green}}}},
      {"negative source height of a bottom-up bitmap: mirrored", bottomUp, 0, 0, 100, 100, -2,
       {{{Blue, White}, {Red, Green}}}},
      {"top-down with its own negative height: upright", topDown, 0, 0, 100, 100, -2,
       {{{Red, Green}, {Blue, White}}}},
      {"top-down with a positive height: upright", topDown, 0, 0, 100, 100, 2,
       {{{Red, Green}, {Blue, White}}}},
  };
  PaintSheets("mirror-%d.png", std::size(cases), [&](HDC dc, size_t i) {
    const Case& c = cases[i];
    Paint(dc, c.dib, c.x, c.y, c.width, c.height, c.sourceHeight);
  });
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TSheet sheet = Load("mirror-" + std::to_string(++number) + ".png");
    ASSERT_EQ(sheet.Width, 200);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x) EXPECT_EQ(sheet.At(25 + 50 * x, 25 + 50 * y), c.shows[y][x]);
  }
}

// Device pixel (0,0) is the printable area's top-left corner: 2 mm in and 4
// mm down, cut to whole pixels (9 and 20 at 5 pixels to the millimetre, 2
// mm being 10.0 pixels cut down from 10.000...).
TEST_F(PaintedBitmaps, DevicePixelZeroIsThePrintableCorner) {
  TDib black = Indexed(1, {Black, Black}, {{{0, 0}, {0, 0}}});
  HDC dc = CreateDCA("PNG", "Margins", "corner.png", nullptr);
  ASSERT_NE(dc, nullptr);
  int offsetX = GetDeviceCaps(dc, PHYSICALOFFSETX), offsetY = GetDeviceCaps(dc, PHYSICALOFFSETY);
  DOCINFOA info{sizeof(DOCINFOA), "Corner", nullptr, nullptr, 0};
  StartDocA(dc, &info);
  StartPage(dc);
  Paint(dc, black, 0, 0, 10, 10, 2);
  Paint(dc, black, -30, 50, 20, 10, 2);  // wholly in the unprintable margin
  EndPage(dc);
  EndDoc(dc);
  DeleteDC(dc);
  TSheet sheet = Load("corner-1.png");
  ASSERT_EQ(sheet.Width, 200);
  EXPECT_EQ(sheet.At(offsetX, offsetY), Black);
  EXPECT_EQ(sheet.At(offsetX + 9, offsetY + 9), Black);
  EXPECT_EQ(sheet.At(offsetX - 1, offsetY), White);
  EXPECT_EQ(sheet.At(offsetX, offsetY - 1), White);
  EXPECT_EQ(sheet.At(offsetX + 10, offsetY + 10), White);
  for (int x = 0; x < offsetX; ++x) EXPECT_EQ(sheet.At(x, offsetY + 55), White) << x;
}

}  // namespace
}  // namespace tolvane
