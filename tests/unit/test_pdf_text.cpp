// The text runs of a PDF page: glyphs that follow one another on a line
// make one run, and every glyph lands where its device pixels say however
// long the line, with nothing outside the printable area written.
#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/pdf/pdf_text.h"

namespace tolvane {
namespace {

// A face of 2048 units to the em whose every glyph is 1229 units wide,
// drawn 93 pixels to the em (and along pixels along the text): 55.8 pixels
// a glyph.
struct TTextScene {
  TFontFace Face{};
  TFaceGlyphs Glyphs{};
  TCodePageTable CodePage{};
  TPdfFonts Fonts;
  TPdfFont* Font = nullptr;
  TPdfTextFont Text;
  explicit TTextScene(double along = 93) {
    Face.Metrics = TFontMetrics{2048, 1705, 615, 1229};
    for (int byte = 0; byte < 256; ++byte) {
      Glyphs.Glyph[byte] = uint32_t(byte) + 3;
      Glyphs.Advance[byte] = 1229;
      CodePage.Character[byte] = char32_t(byte);
    }
    bool made = false;
    Font = &PdfFontFor(Fonts, Face, made);
    Text.Face = &Face;
    Text.Glyphs = &Glyphs;
    Text.CodePage = &CodePage;
    Text.Font = Font;
    Text.Layout.Matrix = TFontMatrix{along, 0, 0, 93, 0, 0};
    Text.Layout.AdvanceX = along / 2048.0;
    SetPdfTextGeometry(Text);
    Text.Sized = &PdfSizedFontFor(Fonts, *Font, Text.Scale);
    Text.Fonts = &Fonts;
  }
};

struct TPlaced {
  double X, Y;
  uint32_t Glyph = 0;  // as read back: the face's glyph of the code
};

// Reads the lines back as a viewer would: each line's origin from its text
// matrix or its move (T* by the leading that TD set), then the pen moved by
// every code's width and every number in the arrays at the scale that Tf's
// size and Tz's width give, in the font that /S<n> selects. Returns the
// glyphs of each line.
std::vector<std::vector<TPlaced>> ReadRuns(const std::string& content, const TPdfFonts& fonts) {
  const TPdfSizedFont* sized = fonts.Sized[0].get();
  std::vector<std::vector<TPlaced>> runs;
  std::vector<double> numbers;
  double lineX = 0, lineY = 0, pen = 0, size = 1, width = 100, leading = 0;
  bool inArray = false;
  auto is = [&](size_t at, const char* op) { return content.compare(at, 2, op) == 0; };
  for (size_t at = 0; at < content.size();) {
    char ch = content[at];
    double scale = size * width / 100;
    if (ch == '(') {
      for (++at; content[at] != ')'; ++at) {
        bool escaped = content[at] == '\\';
        at += escaped;
        auto code = static_cast<unsigned char>(content[at]);
        if (escaped && code == 'r') code = '\r';
        if (escaped && code == 'n') code = '\n';
        runs.back().push_back({lineX + pen, lineY, sized->Base->Glyphs[sized->BaseCodes[code]]});
        pen += sized->Widths[code] * scale / 1000.0;
      }
      ++at;
    } else if (ch == '/') {
      size_t used = 0;
      sized = fonts.Sized.at(std::stoul(content.substr(at + 2), &used) - 1).get();
      at += 2 + used;
    } else if (ch == '-' || ch == '.' || std::isdigit(static_cast<unsigned char>(ch))) {
      size_t used = 0;
      double number = std::stod(content.substr(at), &used);
      if (inArray) pen -= number * scale / 1000.0;
      else numbers.push_back(number);
      at += used;
    } else if (is(at, "Tf") || is(at, "Tz")) {
      (content[at + 1] == 'f' ? size : width) = numbers.back();
      numbers.clear();
      at += 2;
    } else if (is(at, "Tm") || is(at, "Td") || is(at, "TD") || is(at, "T*")) {
      if (is(at, "T*")) numbers = {0, -leading};
      if (is(at, "TD")) leading = -numbers.back();
      bool move = !is(at, "Tm");
      double x = numbers[numbers.size() - 2], y = numbers.back();
      lineX = move ? lineX + x : x, lineY = move ? lineY - y : y;
      pen = 0;
      runs.emplace_back();
      numbers.clear();
      at += 2;
    } else {
      if (ch == '[' || ch == ']') inArray = ch == '[';
      if (std::isalpha(static_cast<unsigned char>(ch))) numbers.clear();
      ++at;
    }
  }
  return runs;
}

TEST(PdfText, GlyphsLandOnTheirPixelsInRunsOfALine) {
  struct Case {
    const char* why;
    std::vector<TPlaced> glyphs;
    size_t runs;
    size_t written;
    size_t numbers;  // arrays beyond one a line: none, a line is one array
    double along = 93;
  } cases[] = {
      {"a pitch of 56.67 pixels cut to whole pixels, 200 glyphs", {}, 1, 200, 0},
      {"a second line starts a second run", {{0, 100}, {56, 100}, {0, 150}, {56, 150}}, 2, 4, 0},
      {"a glyph behind the pen starts a run", {{0, 100}, {56, 100}, {20, 100}}, 2, 3, 0},
      {"a gap of a tab stays in the run", {{0, 100}, {453, 100}, {509, 100}}, 1, 3, 0},
      {"glyphs wholly outside are left out", {{-400, 100}, {0, 100}, {12200, 100}, {0, 2000}}, 1, 1, 0},
      {"lines a line height cut to whole pixels apart",
       {{0, 100}, {0, 197}, {0, 294}, {0, 390}, {0, 487}, {0, 584}, {9, 681}, {9, 778}}, 8, 8, 0},
      {"a face squeezed to 61.29 percent, 300 glyphs", {}, 1, 300, 0, 57},
  };
  for (int i = 0; i < 200; ++i) cases[0].glyphs.push_back({std::trunc(i * 56.67), 500});
  for (int i = 0; i < 300; ++i) cases[6].glyphs.push_back({std::trunc(i * 34.71), 500});
  // The printable area is 12,000 by 1,000 pixels; ink reaches 150 pixels.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TTextScene scene(c.along);
    TPdfText text;
    std::string content;
    for (const TPlaced& glyph : c.glyphs)
      AddPdfGlyph(content, text, scene.Text, 'A', glyph.X, glyph.Y, 12000, 1000);
    EndPdfText(content, text);
    std::vector<std::vector<TPlaced>> runs = ReadRuns(content, scene.Fonts);
    EXPECT_EQ(runs.size(), c.runs) << content;
    EXPECT_LE(std::count(content.begin(), content.end(), 'J'), c.numbers + c.runs) << content;
    std::vector<TPlaced> placed;
    for (const auto& run : runs) placed.insert(placed.end(), run.begin(), run.end());
    ASSERT_EQ(placed.size(), c.written) << content;
    size_t next = 0;
    for (const TPlaced& glyph : c.glyphs) {
      if (glyph.X < -150 || glyph.X > 12150 || glyph.Y > 1150) continue;
      // A hundredth of a pixel at most, wherever on the line.
      EXPECT_NEAR(placed[next].X, glyph.X, 0.0101) << "glyph " << next;
      EXPECT_EQ(placed[next].Y, glyph.Y);
      ++next;
    }
  }
}

// Forty letters at both steps take forty second codes, more than there
// are control codes below the line ends: none is a line end, which a
// string would carry escaped, two bytes for one glyph.
TEST(PdfText, SecondCodesAreNoLineEndsWhileOthersAreFree) {
  TTextScene scene;
  TPdfText text;
  std::string content;
  for (int i = 0; i < 400; ++i)
    AddPdfGlyph(content, text, scene.Text, uint8_t('A' + i % 40), std::trunc(i * 56.67), 500,
                1e6, 1000);
  EndPdfText(content, text);
  EXPECT_EQ(content.find("\\n"), std::string::npos) << content;
  EXPECT_EQ(content.find("\\r"), std::string::npos) << content;
  std::vector<std::vector<TPlaced>> runs = ReadRuns(content, scene.Fonts);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].size(), 400u);
  for (int i = 0; i < 400; ++i) EXPECT_NEAR(runs[0][i].X, std::trunc(i * 56.67), 0.0101);
}

// A hundred and one bytes seen at both their steps, then every byte of the code
// page, take more than a font's 256 codes: the line goes on in a second
// font of the size, and every glyph still lands on its pixel under its own
// glyph.
TEST(PdfText, ALineThatTakesEveryCodeGoesOnInANewFont) {
  TTextScene scene;
  TPdfText text;
  std::string content;
  auto byte = [](int i) { return uint8_t(i < 404 ? i % 101 : i - 404); };
  for (int i = 0; i < 1024; ++i)
    AddPdfGlyph(content, text, scene.Text, byte(i), std::trunc(i * 55.8), 500, 1e6, 1000);
  EndPdfText(content, text);
  // One more font, not one every few glyphs.
  ASSERT_EQ(scene.Fonts.Sized.size(), 2u);
  std::vector<std::vector<TPlaced>> runs = ReadRuns(content, scene.Fonts);
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].size(), 1024u);
  for (int i = 0; i < 1024; ++i) {
    EXPECT_NEAR(runs[0][i].X, std::trunc(i * 55.8), 0.0101) << "glyph " << i;
    EXPECT_EQ(runs[0][i].Glyph, uint32_t(byte(i)) + 3) << "glyph " << i;
  }
  // Another context of the face at that size, still on the full font, goes
  // on in the font made already.
  TPdfTextFont other = scene.Text;
  other.Sized = scene.Fonts.Sized[0].get();
  for (int i = 0; i < 300; ++i)
    AddPdfGlyph(content, text, other, uint8_t(255 - i), std::trunc(i * 55.8), 700, 1e6, 1000);
  EndPdfText(content, text);
  EXPECT_EQ(scene.Fonts.Sized.size(), 2u);
  EXPECT_EQ(other.Sized, scene.Fonts.Sized[1].get());
}

}  // namespace
}  // namespace tolvane
