// The pieces of the PostScript writer: data in ASCII base-85 that reads
// back as it was and never starts a line with a percent sign, and font
// files cut where a Type 42 font may be cut.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/linux/cairo_fonts.h"
#include "device/linux/pdf_sfnt.h"
#include "device/linux/ps_resources.h"

namespace tolvane {
namespace {

TEST(PsPieces, Ascii85) {
  struct Case {
    std::string bytes;
    const char* text;
  } cases[] = {
      {"", "~>"},
      {std::string(4, '\0'), "z~>"},
      {std::string(3, '\0'), "!!!!~>"},  // a short group is not z
      {"Man ", "9jqo^~>"},
      {"M", "9`~>"},
      {"\xff\xff\xff\xff", "s8W-!~>"},
      {std::string("\x0c\x80\0\0", 4), " %\"J<X~>"},  // no line starts with %
  };
  for (const Case& c : cases) {
    std::string text;
    AppendAscii85(text, c.bytes);
    EXPECT_EQ(text, c.text) << c.bytes.size() << " bytes";
  }
  std::string text;
  AppendAscii85(text, std::string(400, '\x7f'));
  size_t start = 0;
  for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
    EXPECT_EQ(end - start, 75u);
    start = end + 1;
  }
}

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

TEST(PsPieces, FontFilesAreCutAtTablesAndGlyphs) {
  const TFontFace* face = FindFontFace("Liberation Mono", 0, false);
  ASSERT_NE(face, nullptr);
  std::string font = ReadWhole(face->File);
  ASSERT_GT(font.size(), 100000u);
  struct Case {
    const char* why;
    std::string bytes;
    size_t limit;
    size_t pieces;  // 0: at least two
  } cases[] = {
      {"a font that fits", font, font.size() + 2, 1},
      {"a font cut into strings", font, 65534, 0},
      {"a glyph table cut between glyphs", font, 4000, 0},
      {"no font: cut at the limit", std::string(1001, 'x'), 200, 6},
      {"nothing", "", 200, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::vector<size_t> cuts = FontPieces(c.bytes, c.limit);
    ASSERT_GE(cuts.size(), 1u);
    EXPECT_EQ(cuts.front(), 0u);
    EXPECT_EQ(cuts.back(), c.bytes.size());
    size_t pieces = cuts.size() - 1;
    EXPECT_TRUE(c.pieces ? pieces == c.pieces : c.bytes.empty() || pieces >= 2) << pieces;
    for (size_t i = 1; i < cuts.size(); ++i) {
      EXPECT_LE(cuts[i] - cuts[i - 1], c.limit);
      EXPECT_GT(cuts[i], cuts[i - 1]);
      EXPECT_TRUE(cuts[i] == c.bytes.size() || cuts[i] % 2 == 0) << cuts[i];
    }
  }
}

}  // namespace
}  // namespace tolvane
