// Fonts as the file drivers find and size them: the face that a name and a
// weight stand for, and the layout of a LOGFONTA in device pixels.
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "device/linux/cairo_fonts.h"

namespace tolvane {
namespace {

TEST(CairoFonts, NamesAndWeightsFindTheirFaces) {
  struct Case {
    const char* name;
    int32_t weight;
    const char* family;
    int faceWeight;
  } cases[] = {
      {"Courier New", 0, "Liberation Mono", 400},
      {"courier new", 400, "Liberation Mono", 400},   // names ignore case
      {"Courier New", 700, "Liberation Mono", 700},
      {"Courier New", 600, "Liberation Mono", 700},   // the nearest weight of the family
      {"Courier New", 1000, "Liberation Mono", 700},
      {"Courier New", 100, "Liberation Mono", 400},
      {"Arial", 0, "Liberation Sans", 400},
      {"", 0, "DejaVu Sans Mono", 400},               // no name: monospace
      {"No Such Face 42", 0, "DejaVu Sans Mono", 400},  // unknown: monospace, not sans
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.weight));
    const TFontFace* face = FindFontFace(c.name, c.weight, false);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->Family, c.family);
    EXPECT_EQ(face->Weight, c.faceWeight);
    EXPECT_FALSE(face->SyntheticBold);
    EXPECT_GT(face->Metrics.WinAscent + face->Metrics.WinDescent, 0);
    EXPECT_GT(face->Metrics.AverageWidth, 0);
  }
  // Asked again, the same face comes back, loaded once.
  EXPECT_EQ(FindFontFace("Courier New", 0, false), FindFontFace("Courier New", 0, false));
  EXPECT_EQ(FindFontFace("Courier New", 0, false), FindFontFace("Courier New", 400, false));
}

TEST(CairoFonts, BoldIsSynthesizedOnlyWhereTheFamilyHasNone) {
  struct Case {
    int32_t weight;
    int faceWeight;
    bool synthetic;
  } cases[] = {
      {700, 400, true}, {600, 400, true}, {1000, 300, true}, {700, 700, false},
      {900, 700, false}, {400, 400, false}, {0, 400, false}, {-5, 400, false},
      {500, 400, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NeedsSyntheticBold(c.weight, c.faceWeight), c.synthetic)
        << c.weight << " on a face of " << c.faceWeight;
  // A family whose only face is light: bold comes from thickening it.
  const TFontFace* light = FindFontFace("DejaVu Sans Light", 700, false);
  if (!light || light->File.find("ExtraLight") == std::string::npos)
    GTEST_SKIP() << "no family with a light face only is installed";
  EXPECT_TRUE(light->SyntheticBold);
}

// Liberation Mono's own numbers: a cell of 2320 units on an em of 2048,
// every character 1229 units wide.
const TFontMetrics Mono = {2048, 1705, 615, 1229};

LOGFONTA Font(LONG height, LONG width, LONG escapement) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfEscapement = escapement;
  return font;
}

TEST(CairoFonts, SizesFollowTheGraphicsDeviceInterface) {
  struct Case {
    const char* why;
    LOGFONTA font;
    int32_t dpiX, dpiY;
    // The matrix, the baseline below (or beside) the cell's top-left corner.
    double xx, yx, xy, yy, baselineX, baselineY;
  } cases[] = {
      // The em and the ascent come out in whole pixels, as the graphics
      // device interface realises a font.
      {"a positive height is the cell, its em rounded", Font(43, 0, 0), 600, 600, 38, 0, 0, 38,
       0, 32},
      {"a 47-pixel cell: an em of 41, the baseline 34 down", Font(47, 0, 0), 600, 600, 41, 0, 0,
       41, 0, 34},
      {"a negative height is the em", Font(-40, 0, 0), 600, 600, 40, 0, 0, 40, 0, 33},
      {"no height: twelve points", Font(0, 0, 0), 600, 600, 100, 0, 0, 100, 0, 83},
      {"twelve points at 96 dpi: 16 pixels", Font(0, 0, 0), 96, 96, 16, 0, 0, 16, 0, 13},
      {"a width makes the average character that wide", Font(-40, 28, 0), 600, 600,
       28 * 2048 / 1229.0, 0, 0, 40, 0, 33},
      {"a negative width counts as its size", Font(-40, -28, 0), 600, 600, 28 * 2048 / 1229.0, 0,
       0, 40, 0, 33},
      {"turned by 900: upward, the baseline one ascent to the right", Font(-40, 28, 900), 600,
       600, 0, -28 * 2048 / 1229.0, 40, 0, 33, 0},
      {"turned by 1800: upside down", Font(-40, 0, 1800), 600, 600, -40, 0, 0, -40, 0, -33},
      {"-900 is 2700: downward", Font(-40, 0, -900), 600, 600, 0, 40, -40, 0, -33, 0},
      {"pixels twice as tall as wide keep the aspect", Font(-40, 0, 0), 300, 600, 20, 0, 0, 40, 0,
       33},
      {"turned, the height counts in pixels across", Font(-40, 0, 900), 300, 600, 0, -80, 40, 0,
       33, 0},
      {"a cell below one pixel still has an em of one", Font(1, 0, 0), 600, 600, 1, 0, 0, 1, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TFontLayout layout = LayOutFont(c.font, Mono, c.dpiX, c.dpiY);
    EXPECT_NEAR(layout.Matrix.XX, c.xx, 1e-9);
    EXPECT_NEAR(layout.Matrix.YX, c.yx, 1e-9);
    EXPECT_NEAR(layout.Matrix.XY, c.xy, 1e-9);
    EXPECT_NEAR(layout.Matrix.YY, c.yy, 1e-9);
    EXPECT_NEAR(layout.BaselineX, c.baselineX, 1e-9);
    EXPECT_NEAR(layout.BaselineY, c.baselineY, 1e-9);
    // One character's advance along the text is its width on the matrix.
    EXPECT_NEAR(1229 * layout.AdvanceX, c.xx * 1229 / 2048, 1e-9);
    EXPECT_NEAR(1229 * layout.AdvanceY, c.yx * 1229 / 2048, 1e-9);
  }
}

TEST(CairoFonts, AbsurdSizesStayFinite) {
  for (LONG size : {LONG(INT32_MIN), LONG(INT32_MAX), LONG(1)}) {
    TFontLayout layout = LayOutFont(Font(size, size, 0), Mono, 600, 600);
    EXPECT_TRUE(std::isfinite(layout.Matrix.XX) && layout.Matrix.XX > 0) << size;
    EXPECT_TRUE(std::isfinite(layout.Matrix.YY) && layout.Matrix.YY > 0) << size;
    EXPECT_LE(layout.Matrix.YY, 100000);
  }
}

TPrinterGeometry Geometry(int32_t codePage) {
  TPrinterGeometry geometry{};
  geometry.PaperWidthMicro = 210000;
  geometry.PaperHeightMicro = 297000;
  geometry.DpiX = geometry.DpiY = 600;
  geometry.CodePage = codePage;
  return geometry;
}

// The job's font of 43 by 28 pixels: every character 28 pixels on, bytes
// through the code page, spaces left undrawn.
TEST(CairoFonts, JobFontDrawsTheCodePagesCharacters) {
  LOGFONTA font = Font(43, 28, 0);
  std::strcpy(font.lfFaceName, "Courier New");
  cairo_matrix_t identity;
  cairo_matrix_init_identity(&identity);
  TFontInstance western, central;
  BuildFontInstance(font, Geometry(1252), identity, western);
  BuildFontInstance(font, Geometry(1250), identity, central);
  ASSERT_NE(western.Font, nullptr);
  ASSERT_NE(central.Font, nullptr);
  const TFaceGlyphs& glyphs = *western.Glyphs;
  EXPECT_NEAR(glyphs.Advance['A'] * western.Layout.AdvanceX, 28, 1e-9);
  EXPECT_TRUE(glyphs.Blank[' ']);
  EXPECT_FALSE(glyphs.Blank['A']);
  EXPECT_NE(glyphs.Glyph[0xE9], 0u);                  // e acute
  EXPECT_NE(glyphs.Glyph[0xE9], glyphs.Glyph['e']);
  EXPECT_NE(central.Glyphs->Glyph[0xF5], 0u);          // o double acute in 1250
  EXPECT_NE(central.Glyphs->Glyph[0xF5], glyphs.Glyph[0xF5]);  // o tilde in 1252
  ReleaseFontInstance(western);
  ReleaseFontInstance(central);
}

}  // namespace
}  // namespace tolvane
