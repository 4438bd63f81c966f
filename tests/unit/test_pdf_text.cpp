// The text runs of a PDF page: glyphs that follow one another on a line
// make one run, and every glyph lands where its device pixels say however
// long the line, with nothing outside the printable area written.
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/pdf/pdf_text.h"

namespace tolvane {
namespace {

// A face of 2048 units to the em whose every glyph is 1229 units wide,
// drawn 93 pixels to the em: 55.8 pixels a glyph.
struct TTextScene {
  TFontFace Face{};
  TFaceGlyphs Glyphs{};
  TCodePageTable CodePage{};
  TPdfFont Font;
  TPdfTextFont Text;
  TTextScene() {
    Face.Metrics = TFontMetrics{2048, 1705, 615, 1229};
    for (int byte = 0; byte < 256; ++byte) {
      Glyphs.Glyph[byte] = uint32_t(byte) + 3;
      Glyphs.Advance[byte] = 1229;
      CodePage.Character[byte] = char32_t(byte);
    }
    Font.Face = &Face;
    Font.Name = 1;
    Text.Face = &Face;
    Text.Glyphs = &Glyphs;
    Text.CodePage = &CodePage;
    Text.Font = &Font;
    Text.Layout.Matrix = TFontMatrix{93, 0, 0, 93, 0, 0};
    Text.Scale = 93;
    Text.EmsPerPixel = 1 / 93.0;
    Text.Reach = 150;
  }
};

struct TPlaced {
  double X, Y;
};

// Reads the runs back as a viewer would: each run's start from its text
// matrix, then the pen moved by every glyph's width and every adjustment.
std::vector<std::vector<TPlaced>> ReadRuns(const std::string& content) {
  std::vector<std::vector<TPlaced>> runs;
  std::istringstream in(content);
  std::string token;
  std::vector<double> numbers;
  double startX = 0, startY = 0, pen = 0;
  while (in >> token) {
    if (token == "Tm[" || token.rfind("Tm[", 0) == 0) {
      startX = numbers[numbers.size() - 2], startY = numbers.back();
      pen = 0;
      runs.emplace_back();
      token = token.substr(3);
    } else if (token.find_first_not_of("-.0123456789") == std::string::npos) {
      numbers.push_back(std::stod(token));
      continue;
    }
    for (size_t at = 0; at < token.size();) {
      if (token[at] == '<') {
        size_t end = token.find('>', at);
        for (size_t i = at + 1; i + 1 < end; i += 2) {
          runs.back().push_back({startX + pen * 93, startY});
          pen += 600 / 1000.0;
        }
        at = end + 1;
      } else if (token[at] == '-' || std::isdigit(static_cast<unsigned char>(token[at]))) {
        size_t used = 0;
        pen -= std::stod(token.substr(at), &used) / 1000.0;
        at += used;
      } else {
        ++at;
      }
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
  } cases[] = {
      {"a pitch of 56.67 pixels cut to whole pixels, 200 glyphs", {}, 1, 200},
      {"a second line starts a second run", {{0, 100}, {56, 100}, {0, 150}, {56, 150}}, 2, 4},
      {"a glyph behind the pen starts a run", {{0, 100}, {56, 100}, {20, 100}}, 2, 3},
      {"a gap of a tab stays in the run", {{0, 100}, {453, 100}, {509, 100}}, 1, 3},
      {"glyphs wholly outside are left out", {{-400, 100}, {0, 100}, {12200, 100}, {0, 2000}}, 1, 1},
  };
  for (int i = 0; i < 200; ++i) cases[0].glyphs.push_back({std::trunc(i * 56.67), 500});
  // The printable area is 12,000 by 1,000 pixels; ink reaches 150 pixels.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    TTextScene scene;
    TPdfText text;
    std::string content;
    for (const TPlaced& glyph : c.glyphs)
      AddPdfGlyph(content, text, scene.Text, 'A', glyph.X, glyph.Y, 12000, 1000);
    EndPdfText(content, text);
    std::vector<std::vector<TPlaced>> runs = ReadRuns(content);
    EXPECT_EQ(runs.size(), c.runs) << content;
    std::vector<TPlaced> placed;
    for (const auto& run : runs) placed.insert(placed.end(), run.begin(), run.end());
    ASSERT_EQ(placed.size(), c.written) << content;
    size_t next = 0;
    for (const TPlaced& glyph : c.glyphs) {
      if (glyph.X < -150 || glyph.X > 12150 || glyph.Y > 1150) continue;
      // Half a thousandth of an em at most, wherever on the line.
      EXPECT_NEAR(placed[next].X, glyph.X, 0.0465) << "glyph " << next;
      EXPECT_EQ(placed[next].Y, glyph.Y);
      ++next;
    }
  }
}

}  // namespace
}  // namespace tolvane
