// The PostScript that the program writes itself: Ghostscript runs every
// kind of sheet without an error, the document's structure is what print
// spoolers read, glyphs sit where the PDF of the same job has them (whose
// glyphs sit where the trace says), text survives the conversion to PDF,
// and an output that fails fails the job.
#include <cmath>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "file_drivers.h"

namespace {

using namespace file_drivers;

class PsOutput : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    for (const char* tool : {"gs", "ps2pdf", "pdftotext", "iconv"})
      if (!HaveTool(tool)) GTEST_FAIL() << tool << " is missing: run scripts/install-deps.sh";
    WriteFile("logo.bmp", Example("logo.bmp"));
  }

  // Prints report on printer with the geometry and the preferences of
  // settings; the job's result.
  TJobResult Print(const std::string& printer, const std::string& report,
                   const std::string& geometry, const std::string& settings = "") {
    WriteFile("report.txt", report);
    WriteSystemProfile(Profile(geometry));
    WriteConfiguration("[preferences]\nfont=Courier New\nprinter=" + printer + "\n" + settings +
                       "[sequences]\nB=BOLD:1\nN=BOLD:0\nR=VERT:1\nU=VERT:0\nG=BITM:logo.bmp\n");
    return Run({"report.txt", "1"});
  }
};

// Counts the places where pattern occurs in text.
size_t Count(const std::string& text, const std::string& pattern) {
  size_t count = 0;
  for (size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, at + 1))
    ++count;
  return count;
}

std::string ManyPages(int pages) {
  std::string report;
  for (int page = 0; page < pages; ++page)
    report += "page " + std::to_string(page + 1) + " \x1b" "Bbold\x1bN\r\n\f";
  return report;
}

TEST_F(PsOutput, GhostscriptRunsEverySheetAndSpoolersFindTheirWay) {
  const std::string logo = "\x1bG:100,100,300,200;";
  struct Case {
    const char* why;
    std::string report, geometry;
    int sheets;
    size_t fonts, images;
    bool syntheticBold;  // the one face known has no bold, and draws every name
  } cases[] = {
      {"upright", "ABC abc\r\n", "", 1, 1, 0, false},
      {"turned", "\x1bR" "turned text\r\n\x1bUupright\r\n", "", 1, 1, 0, false},
      {"bold", "\x1b" "Bbold\x1bN regular\r\n", "", 1, 2, 0, false},
      {"synthetic bold", "\x1b" "Bbold\x1bN regular\r\n", "", 1, 1, 0, true},
      {"a logo on every sheet, defined once",
       logo + "one\r\n\f" + logo + "two\r\n\f" + logo + "three\r\n", "resolution=150\n", 3, 1, 1,
       false},
      {"margins and a line across them", std::string(120, 'x') + "\r\n", "margins=20\n", 1, 1, 0,
       false},
      {"many pages", ManyPages(300), "resolution=300\n", 300, 2, 0, false},
      {"code page 1250", "\xe1rv\xedzt\xfbr\xf5 \x8a\x8e\r\n", "codepage=1250\n", 1, 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    std::optional<TOnlyRegularFace> onlyRegular;
    if (c.syntheticBold) onlyRegular.emplace(directory_);
    TJobResult job = Print("Ps", c.report, c.geometry);
    ASSERT_EQ(job.ExitCode, 0) << job.Errors;
    EXPECT_EQ(job.Errors, "");
    EXPECT_EQ(Capture("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=nullpage '" + PathOf("out.ps") +
                      "' 2>&1; echo \"exit $?\""),
              "exit 0\n");
    std::string ps = ReadFile("out.ps");
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0\n%%Title: Tolvane_drv\n", 0), 0u);
    EXPECT_EQ(ps.substr(ps.size() - 6), "%%EOF\n");
    std::string sheets = std::to_string(c.sheets);
    EXPECT_NE(ps.find("\n%%Trailer\n%%Pages: " + sheets + "\n"), std::string::npos);
    EXPECT_NE(ps.find("\n%%Page: " + sheets + " " + sheets + "\n"), std::string::npos);
    for (const char* each : {"\n%%Page: ", "\nsave P\n", "\nrestore showpage end\n"})
      EXPECT_EQ(Count(ps, each), size_t(c.sheets)) << each;
    EXPECT_EQ(Count(ps, "\n%%BeginResource: font "), c.fonts);
    EXPECT_EQ(Count(ps, "] 3 R\n"), c.images);
    // Seven bits, lines a spooler reads whole, no data line that passes for
    // a comment.
    std::istringstream lines(ps);
    std::string line;
    bool comments = true;
    while (std::getline(lines, line)) {
      ASSERT_LE(line.size(), 255u);
      for (unsigned char ch : line) ASSERT_LT(ch, 0x80);
      if (line == "%%EndComments") comments = false;
      if (!comments && line.rfind("%", 0) == 0) {
        ASSERT_EQ(line.rfind("%%", 0), 0u) << line;
      }
    }
  }
}

// Every glyph where the PDF of the same job has it (whose glyphs sit where
// the trace says, FilePictures), read from Ghostscript's conversion to PDF,
// to a twentieth of a pixel however long the line. Where a word's box lies
// across the line depends on the ascent that the conversion gives its font,
// and on turned sheets the conversion moves the boxes along the line too
// (Ghostscript draws the glyphs of both documents on the same pixels): there
// every word of a font must be off by the same.
TEST_F(PsOutput, GlyphsLandWhereThePdfPutsThem) {
  std::string spaced;
  for (int i = 0; i < 40; ++i) spaced += std::string(1, char('a' + i % 26)) + " ";
  std::string report = spaced + "\r\nA B C\r\n\x1b" "Bx y z\x1bN\r\n\f\x1bRP Q R S\r\n" + spaced + "\r\n";
  const double dpi = 150;
  std::map<std::string, std::vector<TWord>> words;
  for (const char* printer : {"Pdf", "Ps"}) {
    TJobResult job = Print(printer, report, "resolution=150\n", "leftmargin=12\nuppermargin=9\n");
    ASSERT_EQ(job.ExitCode, 0) << job.Errors;
    std::string pdf = PathOf("out.pdf");
    if (std::string(printer) == "Ps") {
      pdf = PathOf("converted.pdf");
      ASSERT_EQ(std::system(("ps2pdf -dAutoRotatePages=/None '" + PathOf("out.ps") + "' '" + pdf + "'").c_str()), 0);
    }
    words[printer] = PdfWords(pdf);
  }
  const std::vector<TWord>& expected = words["Pdf"];
  const std::vector<TWord>& converted = words["Ps"];
  ASSERT_EQ(converted.size(), expected.size());
  EXPECT_EQ(expected.size(), 2 * 40u + 3 + 3 + 4);
  double tolerance = 0.05 * 72 / dpi;
  std::map<std::pair<int, long>, std::pair<double, double>> offsets;  // by sheet and box size
  for (size_t i = 0; i < expected.size(); ++i) {
    const TWord &word = converted[i], &wanted = expected[i];
    SCOPED_TRACE(wanted.Text + " on sheet " + std::to_string(wanted.Page));
    ASSERT_EQ(word.Text, wanted.Text);
    ASSERT_EQ(word.Page, wanted.Page);
    bool turned = wanted.Page == 2;  // runs upward from the cell's corner
    double along = turned ? word.YMax - wanted.YMax : word.XMin - wanted.XMin;
    double across = turned ? word.XMin - wanted.XMin : word.YMin - wanted.YMin;
    double size = turned ? wanted.XMax - wanted.XMin : wanted.YMax - wanted.YMin;
    if (!turned) {
      EXPECT_NEAR(along, 0, tolerance);
    }
    auto key = std::make_pair(wanted.Page, std::lround(size * 100));
    if (!offsets.count(key)) offsets[key] = {along, across};
    EXPECT_NEAR(along, offsets[key].first, tolerance);
    EXPECT_NEAR(across, offsets[key].second, tolerance);
  }
}

TEST_F(PsOutput, TextExtractsAsTheCodePagesCharactersAfterConversion) {
  // A code page's characters that the Windows ANSI one lacks, and those
  // it has at other bytes.
  struct Case {
    const char* codePage;
    const char* text;
  } cases[] = {
      {"1250", "\xc1rv\xedzt\xfbr\xf5 T\xdcK\xd6RF\xdaR\xd3G\xc9P \x8a\x9e \xc8\xf8 \x80\r\n"
               "line two\r\n"},
      {"850", "\x90t\x82 \x9c \xe1 \x8e\x99\x9a\r\n"},
      {"1251", "\xcf\xf0\xe8\xe2\xe5\xf2 \xb8\xa8\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("code page ") + c.codePage);
    TJobResult job = Print("Ps", c.text, std::string("codepage=") + c.codePage + "\n");
    ASSERT_EQ(job.ExitCode, 0) << job.Errors;
    ASSERT_EQ(std::system(("ps2pdf -dAutoRotatePages=/None '" + PathOf("out.ps") + "' '" + PathOf("converted.pdf") + "'")
                              .c_str()),
              0);
    std::string expected = Capture("printf '%s' '" + std::string(c.text) +
                                   "' | tr -d '\\r' | iconv -f CP" + c.codePage + " -t UTF-8");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(Capture("pdftotext -enc UTF-8 '" + PathOf("converted.pdf") + "' -"),
              expected + "\n\f");
  }
}

TEST_F(PsOutput, WhereTheDocumentGoes) {
  struct Case {
    const char* port;
    int exitCode;
    const char* says;  // on standard error
  } cases[] = {{"/dev/full", 1, "No space left on device"}, {"-", 0, ""}};
  WriteFile("report.txt", ManyPages(40));
  WriteConfiguration("[preferences]\nfont=Courier New\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    WriteSystemProfile(std::string("[windows]\ndevice=Ps,PS,") + c.port + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, c.exitCode);
    EXPECT_NE(job.Errors.find(c.says), std::string::npos) << job.Errors;
    bool whole = job.Output.rfind("%!PS-Adobe-3.0\n", 0) == 0 && job.Output.ends_with("%%EOF\n");
    EXPECT_EQ(whole, c.exitCode == 0);
  }
}

}  // namespace
