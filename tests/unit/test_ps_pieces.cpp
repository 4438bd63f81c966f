// Font files cut where a Type 42 font may cut them, into pieces that
// PostScript strings hold.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/linux/cairo_fonts.h"
#include "device/sfnt/sfnt_embed.h"

namespace tolvane {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
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
