// The PDF that the program writes itself: text that extracts as the code
// page's characters, a word at the sheet's edge kept whole while glyphs
// beyond the printable area are left out, a logo embedded once however
// often it is drawn; every file passing qpdf's check.
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "file_drivers.h"

namespace {

using namespace file_drivers;

class PdfOutput : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    for (const char* tool : {"pdftotext", "pdfimages", "pdftops", "ps2pdf", "qpdf", "iconv"})
      if (!HaveTool(tool)) GTEST_FAIL() << tool << " is missing: run scripts/install-deps.sh";
  }

  // Prints report on the PDF printer of the geometry; the file's path.
  std::string Print(const std::string& report, const std::string& geometry,
                    const std::string& settings = "") {
    WriteFile("report.txt", report);
    WriteSystemProfile(Profile(geometry));
    WriteConfiguration("[preferences]\nfont=Courier New\nprinter=Pdf\n" + settings);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0) << job.Errors;
    EXPECT_EQ(QpdfProblems(PathOf("out.pdf")), "");
    return PathOf("out.pdf");
  }
};

TEST_F(PdfOutput, TextExtractsAsTheCodePagesCharacters) {
  struct Case {
    const char* codePage;
    const char* text;
  } cases[] = {
      {"1250", "SZ\xc1MLA \xe1rv\xedzt\xfbr\xf5 t\xfck\xf6rf\xfar\xf3g\xe9p\r\n"
               "\x8a\x8e\x9a\x9e \xc8\xe8 \xd8\xf8 \xa3\xb3 \x80 100\r\n"},
      {"1251", "\xcf\xf0\xe8\xe2\xe5\xf2 \xec\xe8\xf0 \xb8\xa8 \xb9 12\r\n"},
      {"1252", "Caf\xe9 cr\xe8me \x80 \x93" "quoted\x94 \xbd \xdf\r\n"},
      {"437", "\x82t\x82 \x9b \xe1 \x84\x94\x81\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("code page ") + c.codePage);
    std::string pdf = Print(c.text, std::string("codepage=") + c.codePage + "\n");
    std::string expected = Capture("printf '%s' '" + std::string(c.text) +
                                   "' | tr -d '\\r' | iconv -f CP" + c.codePage + " -t UTF-8");
    ASSERT_FALSE(expected.empty());
    std::string text = Capture("pdftotext -enc UTF-8 '" + pdf + "' -");
    // pdftotext ends the block with an empty line, the page with a form feed.
    EXPECT_EQ(text, expected + "\n\f");
    // The way a CUPS queue may take: poppler's PostScript names the glyphs
    // after the fonts' encodings, and Ghostscript's PDF of it reads back by
    // those names.
    std::string again = Capture("pdftops '" + pdf + "' - | ps2pdf - - | pdftotext -enc UTF-8 - -");
    EXPECT_EQ(again, expected + "\n\f") << "through PostScript";
  }
}

// The printable area is 170 mm wide, 20 mm in from each side: a word that
// crosses its right edge stays one word of the text, and what lies wholly
// beyond it is not in the file at all.
TEST_F(PdfOutput, TheEdgeOfThePrintableAreaClipsWithoutSplitting) {
  std::string line(60, '.');
  line += "      SZAMLA     FAR";  // SZAMLA in cells 66 to 71, FAR from cell 77
  std::string pdf = Print(line + "\r\n", "resolution=150\nmargins=20\n");
  std::vector<TWord> words = PdfWords(pdf);
  std::vector<std::string> texts;
  for (const TWord& word : words) texts.push_back(word.Text);
  EXPECT_EQ(texts, (std::vector<std::string>{line.substr(0, 60), "SZAMLA"}));
  std::string content = Capture("qpdf --qdf --object-streams=disable '" + pdf + "' -");
  EXPECT_NE(content.find("re W n"), std::string::npos) << "no clip to the printable area";
}

TEST_F(PdfOutput, ALogoDrawnOnEverySheetIsEmbeddedOnce) {
  WriteFile("logo.bmp", Example("logo.bmp"));
  std::string logo = "\x1bG:100,100,300,200;";
  std::string pdf = Print(logo + "one\r\n\f" + logo + "two\r\n\f" + logo + "three\r\n",
                          "resolution=150\n", "[sequences]\nG=BITM:logo.bmp\n");
  // pdfimages lists every drawing of an image with the image's object.
  std::istringstream list(Capture("pdfimages -list '" + pdf + "'"));
  std::string row;
  std::map<int, int> drawnOnPage;
  std::set<std::string> objects;
  while (std::getline(list, row)) {
    std::istringstream fields(row);
    int page = 0, number = 0;
    std::string type, width, height, color, components, bits, encoding, interpolate, object;
    if (!(fields >> page >> number >> type >> width >> height >> color >> components >> bits >>
          encoding >> interpolate >> object))
      continue;
    ++drawnOnPage[page];
    objects.insert(object);
  }
  EXPECT_EQ(drawnOnPage, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}}));
  EXPECT_EQ(objects.size(), 1u);
}

// A bold face switched on and off inside lines is drawn at the size,
// width and baseline of the face around it (its outlines mapped to make up
// for that), so a switch is only a change of font: no width or rise is set
// again, and the words read back as printed.
TEST_F(PdfOutput, BoldInsideALineChangesOnlyTheFont) {
  std::string line = "total \x1b" "Bdue\x1bN now \x1b" "B12.50\x1bN end\r\n";
  std::string pdf = Print(line + line + line, "", "[sequences]\nB=BOLD:1\nN=BOLD:0\n");
  Capture("qpdf --qdf --object-streams=disable '" + pdf + "' '" + PathOf("open.pdf") + "'");
  std::string open = ReadFile("open.pdf");
  size_t widths = 0;
  for (size_t at = open.find(" Tz"); at != std::string::npos; at = open.find(" Tz", at + 1)) ++widths;
  EXPECT_EQ(widths, 1u);
  EXPECT_EQ(open.find(" Ts"), std::string::npos);
  EXPECT_EQ(Capture("pdftotext -raw '" + pdf + "' -"),
            "total due now 12.50 end\ntotal due now 12.50 end\ntotal due now 12.50 end\n\f");
  std::string fonts = Capture("pdffonts '" + pdf + "'");
  EXPECT_NE(fonts.find("Bold"), std::string::npos) << fonts;
}

// A long document's pages and fonts are packed into several object
// streams: the cross-reference stream finds every one of them, and the
// page count stays plain in the file's bytes for programs that look there.
TEST_F(PdfOutput, ALongDocumentPacksItsObjectsAndEveryPageReadsBack) {
  std::string report;
  for (int page = 1; page <= 450; ++page) report += "page " + std::to_string(page) + "\r\n\f";
  std::string pdf = Print(report, "");
  EXPECT_EQ(Capture("qpdf --show-npages '" + pdf + "'"), "450\n");
  std::istringstream xref(Capture("qpdf --show-xref '" + pdf + "'"));
  std::set<std::string> streams;
  for (std::string row; std::getline(xref, row);)
    if (row.find("compressed; stream = ") != std::string::npos && row.find("un") == std::string::npos)
      streams.insert(row.substr(row.find("stream = ")));
  EXPECT_GE(streams.size(), 3u);
  for (int page : {1, 201, 450})
    EXPECT_EQ(Capture("pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) +
                      " '" + pdf + "' -"),
              "page " + std::to_string(page) + "\n\n\f");
  EXPECT_NE(ReadFile("out.pdf").find("/Count 450"), std::string::npos);
}

}  // namespace
