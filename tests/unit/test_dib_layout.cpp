#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "os/dib_layout.h"

using namespace tolvane;

namespace {

void Put32(std::vector<uint8_t>& block, size_t at, uint32_t value) {
  for (int i = 0; i < 4; i++) block[at + i] = uint8_t(value >> (8 * i));
}

void Put16(std::vector<uint8_t>& block, size_t at, uint16_t value) {
  block[at] = uint8_t(value);
  block[at + 1] = uint8_t(value >> 8);
}

// A block of an info header of headerSize bytes, then `tail` more bytes.
std::vector<uint8_t> InfoBlock(uint32_t headerSize, int32_t width, int32_t height, uint16_t bits,
                               uint32_t compression, uint32_t colorsUsed, size_t tail) {
  std::vector<uint8_t> block(headerSize + tail);
  Put32(block, 0, headerSize);
  Put32(block, 4, uint32_t(width));
  Put32(block, 8, uint32_t(height));
  Put16(block, 12, 1);
  Put16(block, 14, bits);
  Put32(block, 16, compression);
  Put32(block, 32, colorsUsed);
  return block;
}

}  // namespace

TEST(DibLayout, AcceptsWhatFitsAndRefusesWhatReachesPastTheBlock) {
  struct Case {
    const char* name;
    std::vector<uint8_t> block;
    int64_t bitsOffset;
    bool accepted;
  } cases[] = {
      // 24 bits, 2 x 2: rows of 8 bytes.
      {"24-bit exact", InfoBlock(40, 2, 2, 24, 0, 0, 16), 40, true},
      {"24-bit one byte short", InfoBlock(40, 2, 2, 24, 0, 0, 15), 40, false},
      {"top-down 24-bit", InfoBlock(40, 2, -2, 24, 0, 0, 16), 40, true},
      // 8 bits: 256 palette entries of 4 bytes, then 2 rows of 4 bytes.
      {"8-bit with palette", InfoBlock(40, 3, 2, 8, 0, 0, 1024 + 8), 40 + 1024, true},
      {"8-bit palette cut", InfoBlock(40, 3, 2, 8, 0, 0, 1000), 40, false},
      {"8-bit two colours used", InfoBlock(40, 3, 2, 8, 0, 2, 8 + 8), 48, true},
      {"1-bit", InfoBlock(40, 33, 1, 1, 0, 0, 8 + 8), 48, true},
      {"4-bit", InfoBlock(40, 9, 1, 4, 0, 0, 64 + 8), 104, true},
      // 16 bits with masks after the plain header.
      {"16-bit bit fields", InfoBlock(40, 2, 1, 16, 3, 0, 12 + 4), 52, true},
      {"16-bit masks cut", InfoBlock(40, 2, 1, 16, 3, 0, 8), 40, false},
      {"32-bit in a v5 header", InfoBlock(124, 1, 1, 32, 3, 0, 4), 124, true},
      {"bits before the block", InfoBlock(40, 1, 1, 24, 0, 0, 4), -1, false},
      {"bits past the block", InfoBlock(40, 1, 1, 24, 0, 0, 4), 45, false},
      {"header longer than block", InfoBlock(40, 1, 1, 24, 0, 0, 0), 40, false},
      {"no room for a header", std::vector<uint8_t>(11), 0, false},
      {"header of no known size", InfoBlock(20, 1, 1, 24, 0, 0, 40), 60, false},
      {"huge colour count", InfoBlock(40, 1, 1, 24, 0, 0xFFFFFFFF, 4), 40, false},
      {"huge height", InfoBlock(40, 0x7FFFFFFF, INT32_MIN, 32, 0, 0, 4), 40, false},
      {"empty picture", InfoBlock(40, 0, 0, 24, 0, 0, 0), 40, true},
      // Compressed data states its own size, which must fit too.
      {"rle8 size fits", [] { auto b = InfoBlock(40, 4, 4, 8, 1, 1, 4 + 10); Put32(b, 20, 10); return b; }(), 44, true},
      {"rle8 size too long", [] { auto b = InfoBlock(40, 4, 4, 8, 1, 1, 4 + 10); Put32(b, 20, 11); return b; }(), 44, false},
  };
  for (const Case& c : cases) {
    TDibLayout layout;
    std::string reason;
    EXPECT_EQ(DescribeDib(c.block.data(), c.block.size(), c.bitsOffset, layout, reason), c.accepted)
        << c.name << ": " << reason;
    if (!c.accepted) {
      EXPECT_FALSE(reason.empty()) << c.name;
    }
  }
}

TEST(DibLayout, FindsPaletteMasksAndRowsOfTheCoreHeader) {
  std::vector<uint8_t> block(12 + 2 * 3 + 4);
  Put32(block, 0, 12);
  Put16(block, 4, 3);   // width
  Put16(block, 6, 1);   // height
  Put16(block, 8, 1);   // planes
  Put16(block, 10, 1);  // bits per pixel
  TDibLayout layout;
  std::string reason;
  ASSERT_TRUE(DescribeDib(block.data(), block.size(), 18, layout, reason)) << reason;
  EXPECT_EQ(layout.ColorCount, 2u);
  EXPECT_EQ(layout.ColorEntrySize, 3u);
  EXPECT_EQ(layout.ColorsOffset, 12u);
  EXPECT_EQ(layout.RowBytes, 4u);
  block.pop_back();
  EXPECT_FALSE(DescribeDib(block.data(), block.size(), 18, layout, reason));
}
