// The worked examples of the printer layout, checked on whole traces.
#include <zlib.h>

#include <sstream>

#include "host.h"

namespace {

const char ExampleConfiguration[] =
    "[preferences]\n"
    "font=Courier New\n"
    "leftmargin=10\n"
    "uppermargin=5\n";

std::string UprightFont(int handle) { return FontLine(43, 28, 0, 0, "Courier New", handle); }

// The lines of a page start and the rebuilt font that comes with it.
std::string PageStart(int oldFont, int newFont) {
  return "StartPage\nSetBkMode 1\nSelectObject F0 -> F" + std::to_string(oldFont) +
         "\nDeleteObject F" + std::to_string(oldFont) + "\n" + UprightFont(newFont) +
         "SelectObject F" + std::to_string(newFont) + " -> F0\n";
}

std::string Closing(int font) {
  return "SelectObject F0 -> F" + std::to_string(font) + "\nDeleteObject F" +
         std::to_string(font) + "\nEndDoc\nDeleteDC\n";
}

// Every TextOutA line of a trace, and the sheets they fall on.
struct TSheets {
  std::vector<std::vector<std::string>> Texts;
};

TSheets SplitSheets(const std::string& trace) {
  TSheets sheets;
  std::istringstream lines(trace);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "StartPage") sheets.Texts.emplace_back();
    if (line.rfind("TextOutA ", 0) == 0 && !sheets.Texts.empty())
      sheets.Texts.back().push_back(line.substr(9));
  }
  return sheets;
}

}  // namespace

class WorkedExamples : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteConfiguration(ExampleConfiguration);
  }
};

TEST_F(WorkedExamples, TheOneLineFileGivesTheWholeReferenceTrace) {
  WriteFile("report.txt", "A");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, TraceOpening() + UprightFont(1) + "SelectObject F1 -> F0\nSetBkMode 1\n" +
                           PageStart(1, 2) + "TextOutA 110 50 \"A\"\nEndPage\n" + Closing(2));
  EXPECT_EQ(job.Errors, "");
  EXPECT_EQ(job.Output, "");
}

TEST_F(WorkedExamples, CharactersTabsAndLinesLandOnTheGrid) {
  WriteFile("report.txt", "AB\nCD\n\tE\nABCDE\tF\n");
  TJobResult job = Run({"report.txt", "1"});
  TSheets sheets = SplitSheets(job.Trace);
  ASSERT_EQ(sheets.Texts.size(), 1u);
  std::vector<std::string> expected = {
      "110 50 \"A\"",  "138 50 \"B\"",  "110 97 \"C\"",  "138 97 \"D\"",  "337 146 \"E\"",
      "110 194 \"A\"", "138 194 \"B\"", "167 194 \"C\"", "195 194 \"D\"", "224 194 \"E\"",
      "337 194 \"F\"",
  };
  EXPECT_EQ(sheets.Texts[0], expected);
}

TEST_F(WorkedExamples, RotatedLinesRunUpwardFromTheBottom) {
  WriteConfiguration(std::string(ExampleConfiguration) + "[sequences]\nV=VERT:1\n");
  WriteFile("report.txt", "\x1bVAB\nCD\n\tE\n");
  TJobResult job = Run({"report.txt", "1"});
  std::string rotated = FontLine(43, 28, 900, 0, "Courier New", 2);
  std::string rotatedAgain = FontLine(43, 28, 900, 0, "Courier New", 3);
  EXPECT_EQ(job.Trace, TraceOpening() + UprightFont(1) + "SelectObject F1 -> F0\nSetBkMode 1\n" +
                           "SelectObject F0 -> F1\nDeleteObject F1\n" + rotated +
                           "SelectObject F2 -> F0\n" + "StartPage\nSetBkMode 1\n" +
                           "SelectObject F0 -> F2\nDeleteObject F2\n" + rotatedAgain +
                           "SelectObject F3 -> F0\n" +
                           "TextOutA 50 3279 \"A\"\nTextOutA 50 3251 \"B\"\n"
                           "TextOutA 97 3279 \"C\"\nTextOutA 97 3251 \"D\"\n"
                           "TextOutA 146 3052 \"E\"\n"
                           "EndPage\n" + Closing(3));
}

TEST_F(WorkedExamples, TheSheetBreaksAfterTheSixtySeventhLine) {
  WriteConfiguration("[preferences]\nuppermargin=10\n");
  std::string report;
  for (int line = 1; line <= 100; line++) report += "x\n";
  WriteFile("report.txt", report);
  TJobResult job = Run({"report.txt", "1", "1"});
  TSheets sheets = SplitSheets(job.Trace);
  ASSERT_EQ(sheets.Texts.size(), 2u);
  EXPECT_EQ(sheets.Texts[0].size(), 67u);
  EXPECT_EQ(sheets.Texts[1].size(), 33u);
  EXPECT_EQ(sheets.Texts[0].front(), "0 110 \"x\"");
  EXPECT_EQ(sheets.Texts[1].front(), "0 110 \"x\"");
  // Both sheets belong to page 1: asking for page 2 prints neither.
  job = Run({"report.txt", "2", "2"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace.find("StartPage"), std::string::npos);
  EXPECT_NE(job.Trace.find("EndDoc\nDeleteDC\n"), std::string::npos);
}

TEST_F(WorkedExamples, PageRangesSelectFormFeedPages) {
  WriteFile("report.txt", "one\ftwo\fthree\nthree\f\ffive");
  struct Case {
    std::vector<std::string> arguments;
    std::vector<char> pages;  // first letters of the sheets printed
  } cases[] = {
      {{"report.txt", "1"}, {'o', 't', 't', 'f'}},
      {{"report.txt", "2", "3"}, {'t', 't'}},
      {{"report.txt", "3"}, {'t', 'f'}},
      {{"report.txt", "4", "4"}, {}},  // an empty page takes a number, no sheet
      {{"report.txt", "abc", "1"}, {'o'}},  // no number reads as page 0
      {{"report.txt", "3", "2"}, {}},
      {{"report.txt", "-7", "+2"}, {'o', 't'}},
  };
  for (const auto& c : cases) {
    TJobResult job = Run(c.arguments);
    SCOPED_TRACE(c.arguments[1]);
    EXPECT_EQ(job.ExitCode, 0);
    TSheets sheets = SplitSheets(job.Trace);
    std::vector<char> firsts;
    for (const auto& sheet : sheets.Texts) firsts.push_back(sheet.empty() ? '?' : sheet[0].back() == '"' ? sheet[0][sheet[0].size() - 2] : '?');
    EXPECT_EQ(firsts, c.pages);
  }
}

TEST_F(WorkedExamples, TheLogoFillsItsRectangleWhateverTheMargins) {
  // A 2 x 2 bitmap of 24 bits: 14 + 40 bytes of headers, two rows of 8 bytes.
  std::string bmp = std::string("BM") + std::string(8, '\0') + std::string("\x36\0\0\0", 4);
  std::string info("\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0", 16);
  info += std::string(24, '\0');
  std::string pixels("\xff\0\0\0\xff\0\0\0\0\0\xff\xff\xff\xff\0\0", 16);
  bmp += info + pixels;
  WriteFile("logo.bmp", bmp);
  WriteConfiguration(std::string(ExampleConfiguration) + "[sequences]\nG=BITM:logo.bmp\n");
  WriteFile("report.txt", "\x1bG:100,150,500,300;A");
  TJobResult job = Run({"report.txt", "1"});
  std::string block = info + pixels;
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(block.data()), uInt(block.size()));
  char expected[128];
  std::snprintf(expected, sizeof expected,
                "StretchDIBits 118 177 591 354 0 0 2 2 size=56 bits=+40 crc32=%08lx usage=0 "
                "rop=0x00cc0020\nTextOutA 110 50 \"A\"\n",
                crc);
  EXPECT_NE(job.Trace.find(expected), std::string::npos) << job.Trace;
  EXPECT_EQ(job.Errors, "");
}

TEST_F(WorkedExamples, EscapeSequencesTakeTheirBytesAndNoMore) {
  WriteConfiguration(std::string(ExampleConfiguration) +
                     "[sequences]\nF=FSIZ:36\nN=FSIZ:36,24\nV=VERT:1\n");
  struct Case {
    std::string line;
    std::string drawn;  // the bytes that reach the page, in order
  } cases[] = {
      {"\x1bNx", "x"},
      {"\x1b" "F:20;A", "A"},
      {"\x1b" "F:1,2;B", "B"},
      {"\x1bQ:5;A", "A"},
      {"\x1b" "F:20 then the rest", ""},
      {"\x1b\x0c" "C", "C"},
      {std::string("\x1b\0D", 3), std::string("\0D", 2)},
      {std::string("\x1b" "F:1\0" "2;", 7), "2;"},
      {"\x1b\x1b", "\x1b"},
      {"E\x1b", "E"},
  };
  for (const auto& c : cases) {
    WriteFile("report.txt", c.line);
    TJobResult job = Run({"report.txt", "1"});
    std::string drawn;
    for (const auto& sheet : SplitSheets(job.Trace).Texts)
      for (const auto& text : sheet) {
        std::string quoted = text.substr(text.find('"') + 1);
        quoted.pop_back();
        drawn += quoted.rfind("\\x", 0) == 0 ? char(std::stoi(quoted.substr(2), nullptr, 16)) : quoted[0];
      }
    EXPECT_EQ(drawn, c.drawn) << testing::PrintToString(c.line);
  }
}
