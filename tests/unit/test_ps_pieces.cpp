// ASCII85 text as the PostScript filter reads it, and font files cut where a Type 42 font may cut them, into pieces that
// PostScript strings hold.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/linux/cairo_fonts.h"
#include "device/pdf/ps_resources.h"
#include "device/sfnt/sfnt_embed.h"

namespace tolvane {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// What the ASCII85Decode filter makes of text: white space skipped, "z" four
// zeros, a last group of n digits n - 1 bytes. Empty when the text is not
// whole (no "~>", a "z" inside a group).
std::string DecodeAscii85(const std::string& text) {
  std::string bytes;
  uint64_t group = 0;
  int digits = 0;
  for (size_t at = 0; at < text.size(); ++at) {
    char c = text[at];
    if (c == ' ' || c == '\n') continue;
    if (c == '~') {
      if (text.compare(at, std::string::npos, "~>") != 0) return "";
      if (digits == 1) return "";
      for (int pad = digits; digits && pad < 5; ++pad) group = group * 85 + 84;
      for (int i = 0; i + 1 < digits; ++i) bytes += char(group >> (24 - 8 * i));
      return bytes;
    }
    if (c == 'z' && digits == 0) {
      bytes.append(4, '\0');
      continue;
    }
    if (c < '!' || c > 'u') return "";
    group = group * 85 + uint64_t(c - '!');
    if (++digits == 5) {
      for (int i = 0; i < 4; ++i) bytes += char(group >> (24 - 8 * i));
      group = 0, digits = 0;
    }
  }
  return "";
}

TEST(PsPieces, Ascii85ComesBackWholeInLinesThatNoSpoolerTakesForComments) {
  std::string random;
  uint32_t seed = 1;
  for (int i = 0; i < 3000; ++i) random += char((seed = seed * 1103515245u + 12345u) >> 16);
  // Four bytes whose digits are "%%%%%": a line must never begin with one.
  const std::string percent("\x0c\x98\x00\xb4", 4);
  std::vector<std::pair<const char*, std::string>> cases = {
      {"nothing", ""},
      {"zeros, whole groups and a last short one", std::string(9, '\0')},
      {"every length of a last group", random.substr(0, 7)},
      {"many lines", random},
      {"digits that begin lines with '%'", [&] {
         std::string s;
         for (int i = 0; i < 200; ++i) s += percent;
         return s;
       }()},
  };
  for (size_t length = 0; length < 12; ++length) cases.push_back({"short", random.substr(0, length)});
  for (const auto& [why, bytes] : cases) {
    SCOPED_TRACE(std::string(why) + ", " + std::to_string(bytes.size()) + " bytes");
    std::string text = "prefix";
    AppendAscii85(text, bytes);
    ASSERT_EQ(text.compare(0, 6, "prefix"), 0);
    text.erase(0, 6);
    EXPECT_EQ(DecodeAscii85(text), bytes);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      EXPECT_LE(end - start, 76u);
      EXPECT_NE(text[start], '%');
      start = end + 1;
    }
  }
  std::string zeros;
  AppendAscii85(zeros, std::string(8, '\0'));
  EXPECT_EQ(zeros, "zz~>");
}

TEST(PsPieces, FontFilesAreCutAtEvenPlacesWithinTheLimit) {
  const TFontFace* face = FindFontFace("Liberation Mono", 0, false);
  ASSERT_NE(face, nullptr);
  std::string font = ReadWhole(face->File);
  struct Case {
    const char* why;
    std::string bytes;
    size_t limit, pieces;  // pieces 0: more than one
  } cases[] = {
      {"a font that fits", font, font.size() + 2, 1},
      {"a glyph table cut between glyphs", font, 4000, 0},
      {"no font: cut at the limit", std::string(1001, 'x'), 200, 6},
      {"nothing", "", 200, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::vector<size_t> cuts = FontPieces(c.bytes, c.limit);
    EXPECT_EQ(cuts.front(), 0u);
    EXPECT_EQ(cuts.back(), c.bytes.size());
    EXPECT_TRUE(c.pieces ? cuts.size() - 1 == c.pieces : c.bytes.empty() || cuts.size() > 2);
    for (size_t i = 1; i < cuts.size(); ++i) {
      EXPECT_TRUE(cuts[i] > cuts[i - 1] && cuts[i] - cuts[i - 1] <= c.limit);
      EXPECT_TRUE(cuts[i] == c.bytes.size() || cuts[i] % 2 == 0) << cuts[i];
    }
  }
}

}  // namespace
}  // namespace tolvane
