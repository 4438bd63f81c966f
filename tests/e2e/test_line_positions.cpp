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

}  // namespace
