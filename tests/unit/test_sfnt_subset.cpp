// TrueType subsets as the PDF and PostScript fonts embed them: every glyph
// kept draws the outline and advance of the source, composite glyphs
// included, and damaged fonts are refused or cut without reading outside
// the file.
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
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

// The glyphs of letters, digits and accented letters of a face; the
// accented letters of DejaVu Sans are composites of their base letter and
// the accent, and the accents themselves are not asked for.
std::vector<uint32_t> AskedGlyphs(const TFontFace& face) {
  std::vector<uint32_t> glyphs;
  for (char32_t character : U" AZaz09é€ŐőŽžЖ¿ÅØ")
    glyphs.push_back(FT_Get_Char_Index(FreeTypeFace(face), character));
  return glyphs;
}

FT_Face LoadProgram(FT_Library library, const std::string& program, int index = 0) {
  FT_Face face = nullptr;
  FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(program.data()), FT_Long(program.size()),
                     index, &face);
  return face;
}

TEST(SfntSubset, KeptGlyphsDrawAsInTheSource) {
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  for (const char* family : {"Liberation Mono", "DejaVu Sans", "Liberation Serif"}) {
    SCOPED_TRACE(family);
    const TFontFace* face = FindFontFace(family, 700, false);
    ASSERT_NE(face, nullptr);
    std::vector<uint32_t> glyphs = AskedGlyphs(*face);
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

// A glyph's points mapped through transform and rounded, with their
// on-curve bits and the contour ends, as one string.
std::string MappedOutline(FT_Face face, uint32_t glyph, const TSfntTransform& t) {
  if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) return "unloadable";
  const FT_Outline& outline = face->glyph->outline;
  std::string text;
  for (int i = 0; i < outline.n_points; ++i) {
    double x = outline.points[i].x, y = outline.points[i].y;
    text += std::to_string(std::lround(t.XX * x + t.XY * y + t.DX)) + "," +
            std::to_string(std::lround(t.YX * x + t.YY * y + t.DY)) + "," +
            std::to_string(outline.tags[i] & 1) + " ";
  }
  for (int i = 0; i < outline.n_contours; ++i) text += std::to_string(outline.contours[i]) + ";";
  return text;
}

// DejaVu Sans with Ø rewritten in its place as a composite that the
// installed fonts hardly use: é (itself a composite) mirrored at an
// offset, and the acute accent with its axes swapped, laid by point
// numbers on the mirrored letter.
std::string WithMatrixComponents(const TFontFace& face) {
  constexpr uint16_t Words = 0x0001, Offsets = 0x0002, Scale = 0x0008, More = 0x0020, TwoByTwo = 0x0080;
  FT_Face source = FreeTypeFace(face);
  std::string composite;
  SfntPut16(composite, 0xFFFF);
  for (int i = 0; i < 4; ++i) SfntPut16(composite, 0);  // the box, left at 0 with the bearing below
  SfntPut16(composite, Words | Offsets | Scale | More);
  SfntPut16(composite, FT_Get_Char_Index(source, U'é'));
  SfntPut16(composite, 600), SfntPut16(composite, uint16_t(-40)), SfntPut16(composite, 0xC000);
  SfntPut16(composite, Words | TwoByTwo), SfntPut16(composite, FT_Get_Char_Index(source, U'´'));
  SfntPut16(composite, 5), SfntPut16(composite, 2);
  for (uint32_t entry : {0, 0x4000, 0x4000, 0}) SfntPut16(composite, entry);
  std::string font = ReadWhole(face.File);
  uint32_t slashed = FT_Get_Char_Index(source, U'Ø');
  std::string_view loca = FindSfntTable(font, 0, "loca");
  uint32_t start = SfntRead32(loca, 4 * slashed);
  EXPECT_GE(SfntRead32(loca, 4 * slashed + 4) - start, composite.size());
  size_t glyf = FindSfntTable(font, 0, "glyf").data() - font.data();
  font.replace(glyf + start, composite.size(), composite);
  // FreeType moves a glyph by its left side bearing less its box's left
  // edge: both are 0 here.
  size_t hmtx = FindSfntTable(font, 0, "hmtx").data() - font.data();
  EXPECT_LT(slashed, SfntRead16(FindSfntTable(font, 0, "hhea"), 34));
  SfntSet16(font, hmtx + 4 * slashed + 2, 0);
  return font;
}

// Two outlines as strings of numbers, alike but for a font unit here and
// there: a composite kept composite rounds its mapped offset apart from
// its components' points.
::testing::AssertionResult WithinAUnit(const std::string& a, const std::string& b) {
  std::istringstream one(a), other(b);
  auto next = [](std::istringstream& in, std::string& gap, long& number) {
    gap.clear();
    while (in.peek() != EOF && !std::isdigit(in.peek()) && in.peek() != '-') gap += char(in.get());
    return bool(in >> number);
  };
  std::string gap1, gap2;
  long n1 = 0, n2 = 0;
  for (;;) {
    bool more1 = next(one, gap1, n1), more2 = next(other, gap2, n2);
    if (gap1 != gap2 || more1 != more2 || (more1 && std::labs(n1 - n2) > 1))
      return ::testing::AssertionFailure() << a << "\nagainst\n" << b;
    if (!more1) return ::testing::AssertionSuccess();
  }
}

TEST(SfntSubset, MappedGlyphsDrawTheSourcePointsMapped) {
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  const TFontFace* regular = FindFontFace("DejaVu Sans", 400, false);
  ASSERT_NE(regular, nullptr);
  struct Source {
    std::string name, file;
    const TFontFace* face;
  };
  std::vector<Source> sources = {{"components with matrices", WithMatrixComponents(*regular), regular}};
  for (const char* family : {"Liberation Mono", "DejaVu Sans", "Liberation Serif"}) {
    const TFontFace* face = FindFontFace(family, 700, false);
    ASSERT_NE(face, nullptr);
    sources.push_back({family, ReadWhole(face->File), face});
  }
  const TSfntTransform identity;
  struct Case {
    const char* why;
    TSfntTransform transform;
  } cases[] = {
      {"moved", {1, 0, 0, 1, 35, -20}},
      {"a bold face in the regular one's height", {1, 0, 0, 151.0 / 159, 0, -90}},
      {"scaled and slanted", {0.9, 0.2, 0.05, 1.1, -7, 12}},
  };
  for (const Source& s : sources) {
    FT_Face source = LoadProgram(library, s.file, s.face->Index);
    ASSERT_NE(source, nullptr);
    std::vector<uint32_t> glyphs = AskedGlyphs(*s.face);
    TSfntSubset plain;
    std::string reason;
    ASSERT_TRUE(SubsetTrueType(s.file, s.face->Index, glyphs, plain, reason)) << reason;
    for (const Case& c : cases) {
      SCOPED_TRACE(s.name + ", " + c.why);
      TSfntSubset subset;
      ASSERT_TRUE(SubsetTrueType(s.file, s.face->Index, glyphs, subset, reason, &c.transform)) << reason;
      EXPECT_EQ(subset.OldGlyphs, plain.OldGlyphs);
      FT_Face cut = LoadProgram(library, subset.Program);
      ASSERT_NE(cut, nullptr);
      EXPECT_EQ(cut->ascender, std::lround(c.transform.YY * source->ascender + c.transform.DY));
      for (uint32_t glyph : subset.OldGlyphs) {
        if (glyph == 0) continue;  // kept empty
        uint32_t kept = SubsetGlyph(subset, glyph);
        EXPECT_TRUE(WithinAUnit(MappedOutline(cut, kept, identity), MappedOutline(source, glyph, c.transform)))
            << glyph;
        EXPECT_EQ(cut->glyph->advance.x, std::lround(c.transform.XX * source->glyph->advance.x)) << glyph;
      }
      FT_Done_Face(cut);
    }
    FT_Done_Face(source);
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
  const TSfntTransform shifted = {1, 0, 0, 1, 10, 10};
  for (const Case& c : cases) {
    for (const TSfntTransform* transform : {static_cast<const TSfntTransform*>(nullptr), &shifted}) {
      SCOPED_TRACE(std::string(c.why) + (transform ? ", mapped" : ""));
      TSfntSubset subset;
      std::string reason;
      bool cut = SubsetTrueType(c.bytes, c.index, {accented, 36, 70}, subset, reason, transform);
      EXPECT_EQ(cut, c.cut) << reason;
      if (cut) {
        EXPECT_GE(subset.OldGlyphs.size(), 4u);
      } else {
        EXPECT_FALSE(reason.empty());
      }
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
  // Flattened, the letter never ends: it is written empty.
  const TSfntTransform moved = {1, 0, 0, 1, 10, 10};
  ASSERT_TRUE(SubsetTrueType(font, 0, {accented}, subset, reason, &moved)) << reason;
  FT_Library library;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face cut = LoadProgram(library, subset.Program);
  ASSERT_NE(cut, nullptr);
  ASSERT_EQ(FT_Load_Glyph(cut, SubsetGlyph(subset, accented), FT_LOAD_NO_SCALE), 0);
  EXPECT_EQ(cut->glyph->outline.n_points, 0);
  FT_Done_Face(cut);
  FT_Done_FreeType(library);
}

}  // namespace
}  // namespace tolvane
