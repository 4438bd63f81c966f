// Print files and configurations that a host should not write but
// sometimes does: odd bytes, odd sizes, numbers out of every range.
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "host.h"

namespace {

using TSheets = std::vector<std::vector<std::string>>;

// A document that is started and ended without a sheet.
std::string NoSheetTrace() {
  return TraceStreamStart("") + "SelectObject F0 -> F1\nDeleteObject F1\nEndDoc\nDeleteDC\n";
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string Printable(const std::string& bytes) {
  std::string shown;
  for (unsigned char c : bytes.substr(0, 60)) {
    if (c >= 0x20 && c < 0x7f) {
      shown += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      shown += escape;
    }
  }
  return bytes.size() > 60 ? shown + "... (" + std::to_string(bytes.size()) + " bytes)" : shown;
}

}  // namespace

using namespace std::string_literals;

class BadInput : public HostTest {};

TEST_F(BadInput, FilesThatDrawNothingGiveADocumentWithoutSheets) {
  const std::string cases[] = {
      "",
      "\x1a",
      "\x1a" "ABC\n\fDEF",
      "\x1a\n",
      "\f",
      "\f\f\f",
      "\x1b",
      "\x1bQ:1,2;",
      "\x1bQ\n\x1bR:\n\x1b",
  };
  for (const std::string& report : cases) {
    SCOPED_TRACE(Printable(report));
    WriteFile("report.txt", report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Trace, NoSheetTrace());
    EXPECT_EQ(job.Errors, "tolvane: the pages 1 to 32767 of report.txt draw nothing: nothing was "
                          "printed\n");
  }
}

TEST_F(BadInput, TheOneSpaceOfAnEmptyLineTakesASheet) {
  for (const std::string& report : {"\r\n"s, "\n"s, "\r\r\n"s}) {
    SCOPED_TRACE(Printable(report));
    WriteFile("report.txt", report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Trace, TraceStreamStart("") + TracePageStart(1, 2, "") +
                             "TextOutA 0 0 \" \"\nEndPage\n" + TraceClosing(2));
  }
}

TEST_F(BadInput, OddBytesInLinesAndAroundThem) {
  struct Case {
    std::string report;
    std::vector<std::string> arguments;
    TSheets sheets;
  } cases[] = {
      {"\fA", {"report.txt", "1"}, {{"0 0 \"A\""}}},
      {"\fA", {"report.txt", "2", "2"}, {{"0 0 \"A\""}}},
      {"A\f\fB", {"report.txt", "1"}, {{"0 0 \"A\""}, {"0 0 \"B\""}}},
      {"A\f\fB", {"report.txt", "2", "2"}, {}},
      {"A\f\fB", {"report.txt", "3", "3"}, {{"0 0 \"B\""}}},
      // A Ctrl-Z inside a line ends the file behind the bytes before it.
      {"AB\x1a" "CD\nEF", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"B\""}}},
      {"AB\r\x1a" "CD\nEF", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"B\""}}},
      {"AB\r\n\x1a" "CD\nEF", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"B\""}}},
      {"AB\n\x1a\x1a", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"B\""}}},
      // A removed CR leaves the Ctrl-Z at the start of its line: no blank
      // line, and no blank sheet after a form feed.
      {"AB\n\r\x1a" "CD", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"B\""}}},
      {"AB\f\r\n\r\x1a", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"B\""}}},
      {"\fA\x1a\fB", {"report.txt", "1"}, {{"0 0 \"A\""}}},
      {"A\0B"s, {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"\\x00\"", "57 0 \"B\""}}},
      {"A\x1b\nB", {"report.txt", "1"}, {{"0 0 \"A\"", "0 47 \"B\""}}},
      {"A\x1b", {"report.txt", "1"}, {{"0 0 \"A\""}}},
      {"A\x1b\x1b\x1b", {"report.txt", "1"}, {{"0 0 \"A\"", "28 0 \"\\x1b\""}}},
      {"\x1b\f\fA", {"report.txt", "2", "2"}, {{"0 0 \"A\""}}},
      {"\xff\x80\x7f", {"report.txt", "1"}, {{"0 0 \"\\xff\"", "28 0 \"\\x80\"", "57 0 \"\\x7f\""}}},
      {"\"\\", {"report.txt", "1"}, {{"0 0 \"\\x22\"", "28 0 \"\\x5c\""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Printable(c.report) + " pages " + c.arguments[1]);
    WriteFile("report.txt", c.report);
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(SheetTexts(job.Trace), c.sheets);
    EXPECT_EQ(CountTraceLines(job.Trace, "StartPage"), CountTraceLines(job.Trace, "EndPage"));
    EXPECT_TRUE(EndsWith(job.Trace, "EndDoc\nDeleteDC\n"));
    if (c.sheets.empty())
      EXPECT_NE(job.Errors.find("nothing was printed"), std::string::npos);
    else
      EXPECT_EQ(job.Errors, "");
  }
}

TEST_F(BadInput, LinesOfMegabytesAndLinesAcrossReadBoundaries) {
  const size_t Boundary = 65536;  // the file is read 64 KiB at a time
  struct Case {
    const char* why;
    std::string report;
    std::vector<std::string> arguments;
    TSheets sheets;
  } cases[] = {
      // 2^21 tabs bring the column round to 0 again, and the pen with it.
      {"two megabytes of tabs", std::string(2u << 20, '\t') + "Z", {"report.txt", "1"},
       {{"0 0 \"Z\""}}},
      {"a CR LF split over two reads", std::string(Boundary - 1, '\t') + "\r\nZ",
       {"report.txt", "1"}, {{"0 47 \"Z\""}}},
      {"a Ctrl-Z at the start of a read", std::string(Boundary - 1, '\t') + "\n\x1aZ",
       {"report.txt", "1"}, {{}}},
      {"a Ctrl-Z after a CR at the end of a read",
       std::string(Boundary - 1, '\t') + "\r\x1aZ\nY", {"report.txt", "1"}, {{}}},
      {"three megabytes on a page out of the range", std::string(3u << 20, 'x') + "\fEND",
       {"report.txt", "2", "2"}, {{"0 0 \"E\"", "28 0 \"N\"", "57 0 \"D\""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteFile("report.txt", c.report);
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(SheetTexts(job.Trace), c.sheets);
    EXPECT_TRUE(EndsWith(job.Trace, "EndDoc\nDeleteDC\n"));
  }
  // Many short lines of every length, so that CR LF falls on every side of
  // the read boundaries: no CR or LF reaches the page, no byte is lost.
  std::string report;
  size_t letters = 0;
  const int Lines = 16000;
  for (int line = 0; line < Lines; line++) {
    std::string text = std::string("abcdefg").substr(0, line % 7 + 1);
    letters += text.size();
    report += text + (line % 2 ? "\r\n" : "\n");
  }
  WriteFile("report.txt", report);
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(CountTraceLines(job.Trace, "TextOutA "), letters);
  EXPECT_EQ(job.Trace.find("\\x0d"), std::string::npos);
  EXPECT_EQ(job.Trace.find("\\x0a"), std::string::npos);
  // 70 lines of 4.1 mm fill the 287 mm of a sheet.
  EXPECT_EQ(SheetTexts(job.Trace).size(), static_cast<size_t>((Lines + 69) / 70));
}

TEST_F(BadInput, GarbledBinaryConfigurationChangesNothing) {
  std::string garbage;
  uint32_t seed = 12345;
  for (int i = 0; i < 16384; i++) {
    seed = seed * 1103515245u + 12345u;
    garbage += static_cast<char>(seed >> 16);
  }
  // Section heads and keys that lead nowhere, among the noise.
  garbage += "\n[\n]\n[]\n=\n==x\n=65\n65\n";
  for (const char* section : {"preferences", "conversion", "sequences", "PREFERENCES",
                              "CONVERSION", "SEQUENCES"})
    ASSERT_EQ(garbage.find(std::string("[") + section), std::string::npos);
  WriteConfiguration(garbage);
  WriteFile("report.txt", "A\x1b" "F:1;B");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, TraceStreamStart("") + TracePageStart(1, 2, "") +
                           "TextOutA 0 0 \"A\"\nTextOutA 28 0 \"B\"\nEndPage\n" + TraceClosing(2));
  EXPECT_EQ(job.Errors, "");
  // The same noise around good sections, with CR LF line ends, spoils them not.
  WriteConfiguration(garbage + "\r\n[preferences]\r\nleftmargin=10\r\n" + garbage +
                     "\r\n[conversion]\r\n66=67\r\n");
  job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(SheetTexts(job.Trace), (TSheets{{"110 0 \"A\"", "138 0 \"C\""}}));
}

TEST_F(BadInput, ConversionTableAtItsEdges) {
  WriteConfiguration(
      "[conversion]\n"
      "65=9\n"           // A tabs
      "9=66\n"           // a tab prints B and never tabs
      "67=256\n"         // low 8 bits: 0
      "68=-1\n"          // 255
      "69=300\n"         // 44, a comma
      "70=x\n"           // no number: 0
      "71=\n"            // empty: G stays G
      "72=74 is J\n"     // trailing text ignored
      "073=90\n"         // not the key of I
      "12=77\n"          // a form feed still ends the page
      "27=78\n"          // ESC ESC prints N
      "32=46\n"          // an empty line's space prints as a full stop
      "80=12\n"          // P prints as the glyph 12, no page end
      "81=10\n"          // Q prints as the glyph 10, no line end
      "82=27\n"          // R prints as the glyph 27, no escape
      "256=65\n");       // no such byte
  WriteFile("report.txt", "xAy\n\tCDEFGHI\n\x1b\x1bP Q\n\nR\fz");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  TSheets expected = {
      {
          "0 0 \"x\"", "227 0 \"y\"",
          "0 47 \"B\"", "28 47 \"\\x00\"", "57 47 \"\\xff\"", "85 47 \",\"", "114 47 \"\\x00\"",
          "142 47 \"G\"", "170 47 \"J\"", "199 47 \"I\"",
          "0 96 \"N\"", "28 96 \"\\x0c\"", "57 96 \".\"", "85 96 \"\\x0a\"",
          "0 144 \".\"",
          "0 193 \"\\x1b\"",
      },
      {"0 0 \"z\""},
  };
  EXPECT_EQ(SheetTexts(job.Trace), expected);
  EXPECT_EQ(job.Errors, "");
}

TEST_F(BadInput, MalformedConversionValueFailsBeforeThePrinterOpens) {
  struct Case {
    std::string entry;
    std::string run;
  } cases[] = {
      {"65=1-2", "1-2"},
      {"255=-", "-"},
      {"100=99999999999", "99999999999"},
      {"130=4294967296", "4294967296"},
  };
  WriteFile("report.txt", "A");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    WriteConfiguration("[conversion]\n" + c.entry + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_EQ(job.Errors, std::string(FailureWarning) + PathOf("tolvane.ini") + ", [conversion] " +
                              c.entry + ": '" + c.run + "' is not a valid integer value\n");
    EXPECT_EQ(job.Output, "");
  }
  // Neither the printer nor the print file is looked at.
  WriteConfiguration("[conversion]\n65=1-2\n");
  WriteSystemProfile("[windows]\ndevice=Nowhere,NODRIVER,out.txt\n");
  TJobResult job = Run({"nothere.txt", "1"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_FALSE(FileExists("out.txt"));
}

TEST_F(BadInput, SizesThatOverflowTheDeviceFailTheJob) {
  std::string huge(191, '0');  // 1e190 tenths of a millimetre
  huge[0] = '1';
  struct Case {
    const char* why;
    std::string sequences;
    std::string report;
    std::vector<std::string> arguments;
    std::string traceEnd;
    size_t texts;  // characters drawn before the failure
  } cases[] = {
      {"a cell too high for the device", "F=FSIZ:" + huge + ",24\n", "\x1b" "FA",
       {"report.txt", "1"}, "SelectObject F1 -> F0\nSetBkMode 1\nSelectObject F0 -> F1\n"
                            "DeleteObject F1\nAbortDoc\nDeleteDC\n", 0},
      {"a cell too wide for the device", "F=FSIZ:36," + huge + "\n", "\x1b" "FA",
       {"report.txt", "1"}, "SelectObject F1 -> F0\nSetBkMode 1\nSelectObject F0 -> F1\n"
                            "DeleteObject F1\nAbortDoc\nDeleteDC\n", 0},
      {"a cell too high on a page out of the range", "F=FSIZ:-" + huge + "\n", "A\f\x1b" "FB",
       {"report.txt", "1", "1"}, "EndPage\nSelectObject F0 -> F2\nDeleteObject F2\n"
                                 "AbortDoc\nDeleteDC\n", 1},
      {"a bold cell too high", "F=FSIZ:" + huge + "\nB=BOLD:1\n", "\x1b" "B\x1b" "F",
       {"report.txt", "1"}, "DeleteObject F2\nAbortDoc\nDeleteDC\n", 0},
      {"lines that climb the page without end", "L=LINH:-" + huge + "\n", "\x1bLA\nB",
       {"report.txt", "1"}, "TextOutA 0 0 \"A\"\nAbortDoc\nDeleteDC\n", 1},
      {"a rotated cell too high", "V=VERT:1\nF=FSIZ:" + huge + "\n", "\x1bV\x1b" "F",
       {"report.txt", "1"}, "DeleteObject F2\nAbortDoc\nDeleteDC\n", 0},
      // Cells of 10^17 tenths: the 80th character would lie beyond 2^63 pixels.
      {"a line that runs out of the pixel range", "F=FSIZ:36,100000000000000000\n",
       "\x1b" "F" + std::string(100, 'x'), {"report.txt", "1"},
       " 0 \"x\"\nAbortDoc\nDeleteDC\n", 79},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteConfiguration("[sequences]\n" + c.sequences);
    WriteFile("report.txt", c.report);
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_TRUE(EndsWith(job.Trace, c.traceEnd)) << job.Trace;
    EXPECT_EQ(CountTraceLines(job.Trace, "TextOutA "), c.texts);
    EXPECT_EQ(CountTraceLines(job.Trace, "EndDoc"), 0u);
    ASSERT_EQ(job.Errors.rfind(FailureWarning, 0), 0u) << job.Errors;
    EXPECT_EQ(TraceLines(job.Errors).size(), 2u) << job.Errors;
  }
}

TEST_F(BadInput, AssembledCommandsAreCutAtTwoHundredCharacters) {
  WriteConfiguration("[sequences]\nF=FSIZ:36\nW=FSIZ:36," + std::string(192, '0') + "-\n");
  struct Case {
    const char* why;
    std::string report;
    int exitCode;
    int width;  // of the font that the command builds
  } cases[] = {
      // "FSIZ:36," and the inline text: 8 + 192 characters are all kept.
      {"exactly 200", "\x1b" "F:" + std::string(191, '0') + "7;A", 0, 8},
      {"201, the sign is cut off", "\x1b" "F:" + std::string(192, '0') + "-;A", 0, 0},
      {"200, the sign stays and fails", "\x1b" "F:" + std::string(191, '0') + "-;A", 1, -1},
      {"a configured value of 201", "\x1bWA", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteFile("report.txt", c.report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, c.exitCode);
    if (c.width >= 0) {
      EXPECT_NE(job.Trace.find(FontLine(43, c.width, 0, 0, "", 2)), std::string::npos)
          << job.Trace;
      EXPECT_EQ(job.Errors, "");
    }
  }
}

TEST_F(BadInput, HundredThousandFormFeeds) {
  WriteFile("report.txt", std::string(100000, '\f') + "X");
  struct Case {
    std::vector<std::string> arguments;
    TSheets sheets;
  } cases[] = {
      {{"report.txt", "1"}, {}},  // page 100001 lies beyond the default last page
      {{"report.txt", "100001"}, {}},
      {{"report.txt", "100001", "100001"}, {{"0 0 \"X\""}}},
      {{"report.txt", "1", "100000"}, {}},
      {{"report.txt", "32767", "2147483647"}, {{"0 0 \"X\""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(SheetTexts(job.Trace), c.sheets);
    EXPECT_EQ(CountTraceLines(job.Trace, "EndPage"), c.sheets.size());
  }
}

TEST_F(BadInput, LastLineThatFillsTheSheetIsEndedOnce) {
  // 7 mm of margin and lines of 28 mm: the tenth line ends exactly on the
  // 287 mm of the sheet and still fits.
  WriteConfiguration("[preferences]\nuppermargin=7\n[sequences]\nL=LINH:280\n");
  std::string nineLines = "\x1bLx\n";  // the line height governs its own line already
  for (int line = 2; line <= 9; line++) nineLines += "x\n";
  // Each sheet by its size and its first letter, which stands at the top
  // left below the margin.
  struct Case {
    const char* why;
    std::string report;
    std::vector<std::string> arguments;
    std::vector<std::pair<size_t, char>> sheets;
  } cases[] = {
      {"form feed at the end of the tenth line", nineLines + "x\fy", {"report.txt", "1"},
       {{10, 'x'}, {1, 'y'}}},
      {"form feed at the end of the tenth line, page 1 only", nineLines + "x\fy",
       {"report.txt", "1", "1"}, {{10, 'x'}}},
      {"form feed at the start of the eleventh line", nineLines + "x\n\fy", {"report.txt", "1"},
       {{10, 'x'}, {1, 'y'}}},
      {"form feed at the start of the eleventh line, page 2 only", nineLines + "x\n\fy",
       {"report.txt", "2"}, {{1, 'y'}}},
      {"an eleventh line breaks the sheet", nineLines + "x\ny", {"report.txt", "1"},
       {{10, 'x'}, {1, 'y'}}},
      {"an eleventh line on page 1 only", nineLines + "x\ny", {"report.txt", "2", "2"}, {}},
      {"a form feed and the break on one line", nineLines + "x\f", {"report.txt", "1"},
       {{10, 'x'}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteFile("report.txt", c.report);
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 0);
    std::vector<std::pair<size_t, char>> sheets;
    for (const auto& sheet : SheetTexts(job.Trace)) {
      bool atTopLeft = !sheet.empty() && sheet.front().rfind("0 80 \"", 0) == 0;
      sheets.emplace_back(sheet.size(), atTopLeft ? sheet.front()[6] : '?');
    }
    EXPECT_EQ(sheets, c.sheets);
    EXPECT_EQ(CountTraceLines(job.Trace, "StartPage"), c.sheets.size());
    EXPECT_EQ(CountTraceLines(job.Trace, "EndPage"), c.sheets.size());
  }
}

TEST_F(BadInput, OverlongConfigurationValuesAreCut) {
  const std::string face = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";  // 40 characters
  struct Case {
    const char* why;
    std::string conversion;  // the value of byte 65
    int exitCode;
    std::string drawn;  // how A appears in the trace
  } cases[] = {
      {"110 characters are all kept", std::string(108, '0') + "66", 0, "\"B\""},
      {"the 111th character is cut off", std::string(110, '0') + "-", 0, "\"\\x00\""},
      {"a sign within the 110 characters fails", std::string(109, '0') + "-", 1, ""},
  };
  WriteFile("report.txt", "A");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteConfiguration("[preferences]\nfont=" + face + "\n[conversion]\n65=" + c.conversion + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, c.exitCode);
    if (c.exitCode == 0) {
      EXPECT_EQ(job.Trace, TraceStreamStart(face.substr(0, 31)) +
                               TracePageStart(1, 2, face.substr(0, 31)) + "TextOutA 0 0 " +
                               c.drawn + "\nEndPage\n" + TraceClosing(2));
      EXPECT_EQ(job.Errors, "");
    } else {
      EXPECT_FALSE(job.TraceWritten);
      EXPECT_EQ(job.Errors, std::string(FailureWarning) + PathOf("tolvane.ini") +
                                ", [conversion] 65=" + c.conversion + ": '" + c.conversion +
                                "' is not a valid integer value\n");
    }
  }
}

TEST_F(BadInput, MarginsAtTheEndsOfTheIntegerRangeWrapAndFailNothing) {
  WriteConfiguration("[preferences]\nleftmargin=2147483647\nuppermargin=-2147483648\n");
  WriteFile("report.txt", "AB");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(SheetTexts(job.Trace),
            (TSheets{{"-380834556 404056166 \"A\"", "-380834528 404056166 \"B\""}}));
  EXPECT_EQ(job.Errors, "");
}

TEST_F(BadInput, PageAndLineBytesInsideInlineArgumentsBelongToTheSequence) {
  WriteConfiguration("[sequences]\nF=FSIZ:36\n");
  struct Case {
    std::string report;
    int width;  // of the font that the sequence builds
    TSheets sheets;
  } cases[] = {
      {"A\x1b" "F:2\f0;B", 2, {{"0 0 \"A\"", "28 0 \"B\""}}},  // 2\f0 reads as 2
      {"A\x1b" "F:3\x1b" "F:9;B", 3, {{"0 0 \"A\"", "28 0 \"B\""}}},
      {"A\x1b" "F:3\r4;B", 40, {{"0 0 \"A\"", "28 0 \"B\""}}},  // the CR is gone before
      {"A\x1b" "F:5\nB;C", 5, {{"0 0 \"A\"", "0 47 \"B\"", "6 47 \";\"", "12 47 \"C\""}}},
      {"A\x1b" "F:7\x1a;B", 8, {{"0 0 \"A\""}}},  // the file ends inside the arguments
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.report);
    WriteFile("report.txt", c.report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_NE(job.Trace.find(FontLine(43, c.width, 0, 0, "", 3)), std::string::npos) << job.Trace;
    EXPECT_EQ(SheetTexts(job.Trace), c.sheets);
  }
}
