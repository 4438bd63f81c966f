// A command in the middle of a line moves the glyphs after it exactly as if
// the line had started with it: nothing of the line's position is kept
// beyond what the command changed.
#include <string>
#include <vector>

#include "host.h"

namespace {

using LinePositions = HostTest;

TEST_F(LinePositions, ACommandInsideALineMovesTheGlyphsAfterIt) {
  struct Case {
    const char* why;
    const char* report;
    std::vector<std::string> texts;
  } cases[] = {
      // 48.5 tenths are 57 pixels; 5 mm of margin are 50, not the 0 before.
      {"a left margin", "AB\x1bLC", {"0 0 \"A\"", "28 0 \"B\"", "107 0 \"C\""}},
      {"an upper margin", "AB\x1bUC", {"0 0 \"A\"", "28 0 \"B\"", "57 230 \"C\""}},
      // Turned, the pen starts again at the bottom-left.
      {"a turn", "AB\x1bRC", {"0 0 \"A\"", "28 0 \"B\"", "0 3389 \"C\""}},
      {"a turn and back", "A\x1bRB\x1bSC", {"0 0 \"A\"", "0 3389 \"B\"", "0 0 \"C\""}},
      {"a margin on a turned line", "\x1bRA\x1bLB", {"0 3389 \"A\"", "0 3311 \"B\""}},
  };
  WriteSystemProfile(TraceSystemProfile);
  WriteConfiguration("[sequences]\nL=BALM:5\nU=FELM:20\nR=VERT:1\nS=VERT:0\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteFile("report.txt", c.report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(SheetTexts(job.Trace), std::vector<std::vector<std::string>>{c.texts});
  }
}

// A job remembers where the cells of its lines fell; a line after others
// lands exactly where it lands as the job's first line, whatever the lines
// before left to remember: pens reached by a tab, a cell changed and
// changed back, lines longer than the columns kept, a turn.
TEST_F(LinePositions, ALineLandsTheSameAfterAnyLinesBeforeIt) {
  struct Case {
    const char* why;
    std::string before;
    std::string line;
  } cases[] = {
      {"a tab's pen where other lines stepped", "ABCDEFGHIJKL\n", "\tABC\tD"},
      {"a narrower cell and back", "ABCDEFGH\n", "AB\x1bWCD\x1bNEF"},
      {"past the columns kept", std::string(300, 'x') + "\n", std::string(600, 'y')},
      {"a margin moved", "ABCDEF\n\x1bL", "ABCDEF"},
      {"turned", "\x1bRABCDEF\n", "ABC\tDEF"},
  };
  WriteSystemProfile(TraceSystemProfile);
  WriteConfiguration("[sequences]\nL=BALM:5\nR=VERT:1\nW=FSIZ:36,31\nN=FSIZ:36,24\n");
  // Where the line's glyphs fall along it, and which they are.
  auto along = [](const std::vector<std::string>& texts, size_t from, bool turned) {
    std::vector<std::string> places;
    for (size_t i = from; i < texts.size(); ++i) {
      std::string x = texts[i].substr(0, texts[i].find(' '));
      std::string rest = texts[i].substr(texts[i].find(' ') + 1);
      places.push_back(turned ? rest : x + rest.substr(rest.find(' ')));
    }
    return places;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    bool turned = c.before.find("\x1bR") != std::string::npos;
    std::string state = turned ? "\x1bR" : (c.before.find("\x1bL") != std::string::npos ? "\x1bL" : "");
    WriteFile("report.txt", state + c.line + "\n");
    std::vector<std::vector<std::string>> alone = SheetTexts(Run({"report.txt", "1"}).Trace);
    WriteFile("report.txt", c.before + c.before + c.line + "\n");
    std::vector<std::vector<std::string>> after = SheetTexts(Run({"report.txt", "1"}).Trace);
    ASSERT_EQ(alone.size(), 1u);
    ASSERT_EQ(after.size(), 1u);
    size_t first = after[0].size() - alone[0].size();
    EXPECT_EQ(along(after[0], first, turned), along(alone[0], 0, turned));
  }
}

}  // namespace
