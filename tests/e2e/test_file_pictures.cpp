// What the file drivers put on paper: every glyph of a PDF where the trace
// of the same job puts it, and the sample report looking as its reference
// pictures under tests/reference/ (made by this program and checked by eye;
// TOLVANE_UPDATE_REFERENCES=1 writes them anew).
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "file_drivers.h"

namespace {

using namespace file_drivers;

class FilePictures : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (!HaveTool("pdftotext") || !HaveTool("pdftoppm"))
      GTEST_FAIL() << "poppler-utils is missing: run scripts/install-deps.sh";
    if (!HaveTool("qpdf")) GTEST_FAIL() << "qpdf is missing: run scripts/install-deps.sh";
  }
};

// A glyph as the trace records it: its byte and the cell's top-left corner.
struct TGlyph {
  int Sheet;
  std::string Text;  // UTF-8
  int X, Y;
};

std::string Utf8(unsigned char byte) {
  if (byte < 0x80) return std::string(1, char(byte));
  return std::string{char(0xC0 | byte >> 6), char(0x80 | (byte & 0x3F))};
}

// The drawn glyphs of a trace, spaces left out (poppler has no word for
// them); bytes are Latin-1 letters, which 1252 draws as themselves.
std::vector<TGlyph> TracedGlyphs(const std::string& trace) {
  std::vector<TGlyph> glyphs;
  int sheet = 0;
  for (const std::string& line : TraceLines(trace)) {
    if (line == "StartPage") ++sheet;
    int x = 0, y = 0, length = 0;
    if (std::sscanf(line.c_str(), "TextOutA %d %d \"%n", &x, &y, &length) != 2 || !length) continue;
    std::string quoted = line.substr(size_t(length), line.size() - size_t(length) - 1);
    unsigned int byte = static_cast<unsigned char>(quoted[0]);
    if (quoted.size() == 4 && quoted[0] == '\\') std::sscanf(quoted.c_str() + 2, "%2x", &byte);
    if (byte != ' ') glyphs.push_back({sheet, Utf8(static_cast<unsigned char>(byte)), x, y});
  }
  return glyphs;
}

// Letters with a space between each, so that every one is a word of its
// own; bold and turned lines among them.
const char PositionsReport[] =
    "A B C D E F G H\r\n"
    "  i j k l m\r\n"
    "\x1b" "Bx y z\x1b" "N\r\n"
    "\t\xe9 \xc1 \xf6\r\n"
    "\f\x1bR" "P Q R S\r\n"
    "t u v w\r\n"
    "\x1b" "BK L\x1b" "N M\r\n";

TEST_F(FilePictures, GlyphsLandWhereTheTraceSays) {
  // Device pixel (0,0) lies a whole number of pixels in from the sheet's
  // corner: the margin cut down to pixels.
  struct Case {
    const char* geometry;
    double dpiX, dpiY, offsetX, offsetY;
  } cases[] = {
      {"resolution=150\nmargins=7\n", 150, 150, 41, 41},
      {"paper=Letter\nresolution=600\nmargins=6.35,4.2,6.35,4.2\n", 600, 600, 150, 99},
      {"paper=A5\nresolution=300x200\nmargins=3\n", 300, 200, 35, 23},
  };
  WriteFile("report.txt", PositionsReport);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.geometry);
    WriteSystemProfile(Profile(c.geometry));
    std::string settings = "leftmargin=12\nuppermargin=9\n[sequences]\nB=BOLD:1\nN=BOLD:0\nR=VERT:1\n";
    WriteConfiguration("[preferences]\nfont=Courier New\nprinter=Trace\n" + settings);
    TJobResult traced = Run({"report.txt", "1"});
    ASSERT_EQ(traced.ExitCode, 0) << traced.Errors;
    WriteConfiguration("[preferences]\nfont=Courier New\nprinter=Pdf\n" + settings);
    TJobResult printed = Run({"report.txt", "1"});
    ASSERT_EQ(printed.ExitCode, 0) << printed.Errors;
    EXPECT_EQ(QpdfProblems(PathOf("out.pdf")), "");
    std::vector<TGlyph> glyphs = TracedGlyphs(traced.Trace);
    std::vector<TWord> words = PdfWords(PathOf("out.pdf"));
    ASSERT_EQ(glyphs.size(), words.size());
    EXPECT_EQ(glyphs.size(), 30u);
    // Points are what the PDF counts in; one device pixel is the tolerance.
    double pixelX = 72.0 / c.dpiX, pixelY = 72.0 / c.dpiY;
    for (const TGlyph& glyph : glyphs) {
      SCOPED_TRACE(glyph.Text + " at " + std::to_string(glyph.X) + "," + std::to_string(glyph.Y));
      const TWord& word = words[&glyph - glyphs.data()];
      EXPECT_EQ(word.Page, glyph.Sheet);
      EXPECT_EQ(word.Text, glyph.Text);
      // Upright the cell's top-left corner is the word's; turned, the text
      // runs upward from the corner, which is the word's bottom left.
      bool turned = glyph.Sheet == 2;
      EXPECT_NEAR(word.XMin, (c.offsetX + glyph.X) * pixelX, pixelX);
      EXPECT_NEAR(turned ? word.YMax : word.YMin, (c.offsetY + glyph.Y) * pixelY, pixelY);
    }
  }
}

// Differences of anti-aliasing between builds of the libraries are small
// and spread thin; a glyph or a logo out of place is not.
void ExpectAlike(const TPicture& picture, const TPicture& reference, const std::string& name) {
  ASSERT_EQ(picture.Width, reference.Width) << name;
  ASSERT_EQ(picture.Height, reference.Height) << name;
  size_t differing = 0;
  double total = 0;
  for (size_t i = 0; i < picture.Rgb.size(); ++i) {
    int difference = std::abs(int(picture.Rgb[i]) - int(reference.Rgb[i]));
    total += difference;
    differing += difference > 96;
  }
  size_t values = picture.Rgb.size();
  EXPECT_LE(differing, values / 500) << name << ": " << differing << " values far off";
  EXPECT_LE(total / double(values), 1.0) << name;
}

void CompareWithReferences(const std::string& directory, const std::vector<std::string>& made,
                           const std::string& prefix) {
  std::string references = std::string(TOLVANE_SOURCE_DIR) + "/tests/reference/";
  bool update = getenv("TOLVANE_UPDATE_REFERENCES") != nullptr;
  for (size_t i = 0; i < made.size(); ++i) {
    std::string reference = references + prefix + "-" + std::to_string(i + 1) + ".png";
    if (update) {
      std::filesystem::copy_file(directory + "/" + made[i], reference,
                                 std::filesystem::copy_options::overwrite_existing);
      continue;
    }
    TPicture expected = LoadPicture(reference);
    ASSERT_GT(expected.Width, 0) << reference << " cannot be read";
    ExpectAlike(LoadPicture(directory + "/" + made[i]), expected, reference);
  }
}

// The sample report: a letterhead with its logo and bold lines, a turned
// listing, a page of accented letters with a logo further down.
TEST_F(FilePictures, SampleReportAsPdfLooksAsItsReference) {
  WriteSystemProfile(Profile(""));  // A4 at 600 dots per inch, no margins
  WriteFile("sample-report.txt", Example("sample-report.txt"));
  WriteFile("logo.bmp", Example("logo.bmp"));
  WriteConfiguration(SampleConfiguration("Pdf"));
  TJobResult job = Run({"sample-report.txt", "1"});
  ASSERT_EQ(job.ExitCode, 0) << job.Errors;
  EXPECT_EQ(QpdfProblems(PathOf("out.pdf")), "");
  ASSERT_EQ(std::system(("pdftoppm -r 40 -png '" + PathOf("out.pdf") + "' '" + PathOf("seen") + "'").c_str()), 0);
  CompareWithReferences(directory_, {"seen-1.png", "seen-2.png", "seen-3.png"}, "sample-pdf");
}

TEST_F(FilePictures, SampleReportAsPngLooksAsItsReference) {
  WriteSystemProfile(Profile("resolution=50\nmargins=4\n"));
  WriteFile("sample-report.txt", Example("sample-report.txt"));
  WriteFile("logo.bmp", Example("logo.bmp"));
  WriteConfiguration(SampleConfiguration("Png"));
  TJobResult job = Run({"sample-report.txt", "1"});
  ASSERT_EQ(job.ExitCode, 0) << job.Errors;
  CompareWithReferences(directory_, {"sheet-1.png", "sheet-2.png", "sheet-3.png"}, "sample-png");
}

// A family with no bold face of its own: fontconfig is given nothing but
// Liberation Mono's regular face, and bold text is its strokes thickened.
TEST_F(FilePictures, BoldWithoutABoldFaceIsThickened) {
  TOnlyRegularFace onlyRegular(directory_);
  ASSERT_TRUE(onlyRegular.Made);
  WriteSystemProfile(Profile("resolution=100\n"));
  WriteFile("report.txt", "\x1b" "CTolvane Tolvane Tolvane\r\n");
  std::vector<long> ink;
  for (const char* weight : {"C=BOLD:0", "C=BOLD:1"}) {
    WriteConfiguration(std::string("[preferences]\nfont=Liberation Mono\nprinter=Png\n[sequences]\n") +
                       weight + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0) << job.Errors;
    TPicture sheet = LoadPicture(PathOf("sheet-1.png"));
    long dark = 0;
    for (size_t i = 0; i < sheet.Rgb.size(); i += 3) dark += sheet.Rgb[i] < 128;
    ink.push_back(dark);
  }
  ASSERT_GT(ink[0], 0);
  EXPECT_GT(ink[1], ink[0] * 13 / 10);
}

}  // namespace
