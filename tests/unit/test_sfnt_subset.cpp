// TrueType subsets as the PDF and PostScript fonts embed them: every glyph
// kept draws the outline and advance of the source, composite glyphs
// included, and damaged fonts are refused or cut without reading outside
// the file.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include "device/linux/cairo_fonts.h"
#include "device/sfnt/sfnt_subset.h"
#include "device/sfnt/sfnt_tables.h"

namespace tolvane {
namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The outline and advance of a glyph in font units, as one string.
std::string Outline(FT_Face face, uint32_t glyph) {
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return "unloadable";
  const FT_Outline& outline = face->glyph->outline;
  std::string text = std::to_string(face->glyph->advance.x) + ":";
  for (int i = 0; i < outline.n_points; ++i)
    text += std::to_string(outline.points[i].x) + "," + std::to_string(outline.points[i].y) + "," +
            std::to_string(outline.tags[i] & 1) + " ";
  for (int i = 0; i < outline.n_contours; ++i) text += std::to_string(outline.contours[i]) + ";";
  return text;
}

TEST(SfntSubset, KeptGlyphsDrawAsInTheSource) {
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  // Accented letters of DejaVu Sans are composites of their base letter
  // and the accent; the accents themselves are not asked for.
  for (const char* family : {"Liberation Mono", "DejaVu Sans", "Liberation Serif"}) {
    SCOPED_TRACE(family);
    const TFontFace* face = FindFontFace(family, 700, false);
    ASSERT_NE(face, nullptr);
    std::vector<uint32_t> glyphs;
    for (char32_t character : U" AZaz09é€ŐőŽžЖ¿ÅØ")
      glyphs.push_back(FT_Get_Char_Index(FreeTypeFace(*face), character));
    TSfntSubset subset;
    std::string reason;
    ASSERT_TRUE(SubsetTrueType(ReadWhole(face->File), face->Index, glyphs, subset, reason)) << reason;
    EXPECT_LT(subset.OldGlyphs.size(), glyphs.size() + 12);
    FT_Face cut;
    ASSERT_EQ(FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(subset.Program.data()),
                                 FT_Long(subset.Program.size()), 0, &cut), 0);
    EXPECT_EQ(cut->num_glyphs, FT_Long(subset.OldGlyphs.size()));
    for (uint32_t glyph : subset.OldGlyphs) {
      if (glyph == 0) continue;  // kept empty
      EXPECT_EQ(Outline(cut, SubsetGlyph(subset, glyph)), Outline(FreeTypeFace(*face), glyph)) << glyph;
    }
    ASSERT_EQ(FT_Load_Glyph(cut, 0, FT_LOAD_NO_SCALE), 0);
    EXPECT_EQ(cut->glyph->outline.n_points, 0);  // the missing-glyph glyph draws nothing
    FT_Done_Face(cut);
  }
  FT_Done_FreeType(library);
}

// A font whose numbers are damaged in the named place.
std::string Damaged(std::string font, const char* tag, size_t at, uint32_t value, bool wide) {
  size_t count = SfntRead16(font, 4);
  for (size_t i = 0; i < count; ++i) {
    size_t record = 12 + 16 * i;
    if (font.compare(record, 4, tag) != 0) continue;
    size_t place = SfntRead32(font, record + 8) + at;
    if (wide) SfntSet16(font, place, value >> 16), place += 2;
    SfntSet16(font, place, value & 0xFFFF);
  }
  return font;
}

TEST(SfntSubset, DamagedFontsAreRefusedOrCutWithinTheFile) {
  const TFontFace* face = FindFontFace("DejaVu Sans", 400, false);
  ASSERT_NE(face, nullptr);
  std::string font = ReadWhole(face->File);
  uint32_t accented = FT_Get_Char_Index(FreeTypeFace(*face), U'é');
  // A collection of the one font: the header, then the font with its tables
  // moved on by the header's length.
  std::string collection = "ttcf";
  SfntPut32(collection, 0x00010000), SfntPut32(collection, 1), SfntPut32(collection, 16);
  std::string moved = font;
  for (size_t offset = 12 + 8; offset < 12 + 16 * size_t(SfntRead16(font, 4)); offset += 16) {
    uint32_t value = SfntRead32(font, offset) + 16;
    SfntSet16(moved, offset, value >> 16), SfntSet16(moved, offset + 2, value & 0xFFFF);
  }
  collection += moved;
  struct Case {
    const char* why;
    std::string bytes;
    int index;
    bool cut;
  } cases[] = {
      {"the font in a collection", collection, 0, true},
      {"a font the collection lacks", collection, 1, false},
      {"an index into a single font", font, 1, false},
      {"nothing", "", 0, false},
      {"a header only", font.substr(0, 12), 0, false},
      {"cut in its directory", font.substr(0, 100), 0, false},
      {"cut in half", font.substr(0, font.size() / 2), 0, false},
      {"no metrics", Damaged(font, "hhea", 34, 0, false), 0, false},
      {"more glyphs than locations", Damaged(font, "maxp", 4, 0xFFFF, false), 0, false},
      {"a glyph placed past the table", Damaged(font, "loca", 4 * accented, 0x7FFFFFF0, true), 0, true},
      {"glyphs in reverse", Damaged(font, "loca", 4 * accented + 4, 0, true), 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TSfntSubset subset;
    std::string reason;
    bool cut = SubsetTrueType(c.bytes, c.index, {accented, 36, 70}, subset, reason);
    EXPECT_EQ(cut, c.cut) << reason;
    if (cut) {
      EXPECT_GE(subset.OldGlyphs.size(), 4u);
    } else {
      EXPECT_FALSE(reason.empty());
    }
  }
}

TEST(SfntSubset, GlyphsBuiltFromThemselvesEndTheClosure) {
  const TFontFace* face = FindFontFace("DejaVu Sans", 400, false);
  ASSERT_NE(face, nullptr);
  std::string font = ReadWhole(face->File);
  uint32_t accented = FT_Get_Char_Index(FreeTypeFace(*face), U'é');
  // The first component of the accented letter now names the letter itself.
  std::string_view loca = FindSfntTable(font, 0, "loca");
  uint32_t start = SfntRead32(loca, 4 * accented);
  size_t glyf = FindSfntTable(font, 0, "glyf").data() - font.data();
  SfntSet16(font, glyf + start + 12, accented);
  TSfntSubset subset;
  std::string reason;
  ASSERT_TRUE(SubsetTrueType(font, 0, {accented}, subset, reason)) << reason;
  EXPECT_NE(SubsetGlyph(subset, accented), 0u);
  EXPECT_EQ(subset.OldGlyphs.size(), 3u);  // nothing, the letter, its accent
}

}  // namespace
}  // namespace tolvane
