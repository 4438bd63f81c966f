#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "job_state_fixture.h"
#include "stream/escape.h"

using namespace tolvane;
using namespace std::string_literals;

namespace {

class Escapes : public JobStateTest {
 protected:
  void SetUp() override {
    JobStateTest::SetUp();
    char pattern[] = "/tmp/tolvane-escape-XXXXXX";
    directory_ = mkdtemp(pattern);
    ConfigPath = directory_ + "/tolvane.ini";
    std::ofstream(ConfigPath) << "[sequences]\n"
                                 "N=FSIZ:30,20\n"
                                 "F=FSIZ:36\n"
                                 "L=LINH:\n"
                                 "V=VERT:1\n"
                                 "b=BOLD:1\n"
                                 "E=\n"
                                 "W=FSIZ:" + std::string(193, '0') + "\n";
  }
  void TearDown() override {
    std::remove(ConfigPath.c_str());
    rmdir(directory_.c_str());
    JobStateTest::TearDown();
  }
  std::string directory_;
};

size_t Expand(const std::string& line) { return ExpandSequence(line.data(), line.size()); }

// The same sequence handed over in pieces of at most size bytes, as the
// stream reader hands over a long line; the bytes that the pieces gave
// must be the bytes that the sequence says it took.
size_t ExpandInPieces(const std::string& line, size_t size) {
  TSequence sequence;
  StartSequence(sequence);
  size_t at = 1;
  while (at < line.size() && sequence.Stage != SequenceDone) {
    size_t piece = std::min(size, line.size() - at);
    at += ContinueSequence(sequence, line.data() + at, piece);
  }
  EndSequence(sequence);
  EXPECT_EQ(at, std::max<size_t>(sequence.Taken, 1));
  return sequence.Taken;
}

}  // namespace

TEST_F(Escapes, CountsTheBytesOfEachSequenceAndRunsItsCommand) {
  struct Case {
    std::string line;  // from the ESC to the end of the line
    size_t taken;
    double cellHeight, cellWidth, lineHeight;
    int32_t rotated;
  } cases[] = {
      {"\x1bNx", 2, 30, 20, 41, 0},
      {"\x1bN", 2, 30, 20, 41, 0},
      {"\x1b" "F:20;A", 6, 36, 20, 41, 0},
      {"\x1b" "F:20", 5, 36, 20, 41, 0},
      {"\x1b" "F:;", 4, 36, 0, 41, 0},
      {"\x1b" "F:1,2;", 7, 36, 1, 41, 0},
      {"\x1bL:50;", 6, 36, 24, 0, 0},
      {"\x1bVV", 2, 36, 24, 41, 1},
      {"\x1b" "F:2\x1bG;", 7, 36, 2, 41, 0},
      {"\x1bQ:5;A", 5, 36, 24, 41, 0},
      {"\x1b", 1, 36, 24, 41, 0},
      {"\x1b\x0c", 2, 36, 24, 41, 0},
      {"\x1b\0"s, 1, 36, 24, 41, 0},
      {"\x1b" "F:1\0" "2;"s, 5, 36, 1, 41, 0},
      {"\x1b" "E:7;", 5, 36, 24, 41, 0},
      {"\x1bn", 2, 30, 20, 41, 0},  // letters match without regard to case
  };
  for (size_t size : {size_t(0), size_t(1), size_t(2), size_t(3)})
  for (const Case& c : cases) {
    PrintState.CellHeight = 36;
    PrintState.CellWidth = 24;
    PrintState.LineHeight = 41;
    PrintState.Rotated = 0;
    SCOPED_TRACE(testing::PrintToString(c.line));
    SCOPED_TRACE("pieces of " + std::to_string(size));
    EXPECT_EQ(size == 0 ? Expand(c.line) : ExpandInPieces(c.line, size), c.taken);
    EXPECT_EQ(PrintState.CellHeight, c.cellHeight);
    EXPECT_EQ(PrintState.CellWidth, c.cellWidth);
    EXPECT_EQ(PrintState.LineHeight, c.lineHeight);
    EXPECT_EQ(PrintState.Rotated, c.rotated);
  }
}

TEST_F(Escapes, AssembledCommandsAreCutTo200Characters) {
  // FSIZ: and 193 zeros leave room for ",1" and nothing of the "2" after it.
  Expand("\x1bW:12;");
  EXPECT_EQ(PrintState.CellWidth, 1);
  // Arguments of any length, in pieces or whole, are kept only that far.
  std::string longArguments = "\x1bW:1" + std::string(100000, '2');
  EXPECT_EQ(ExpandInPieces(longArguments, 7), longArguments.size());
  EXPECT_EQ(PrintState.CellWidth, 1);
  // FSIZ:36, leaves room for 192 zeros: the 9s behind them are cut.
  EXPECT_EQ(Expand("\x1b" "F:" + std::string(192, '0') + std::string(108, '9') + ";x"), 304u);
  EXPECT_EQ(PrintState.CellWidth, 0);
}

TEST_F(Escapes, AMissingConfigurationMakesEveryLetterSilent) {
  ConfigPath = directory_ + "/missing.ini";
  PrintState.CellHeight = 36;
  EXPECT_EQ(Expand("\x1bN:1;x"), 5u);
  EXPECT_EQ(PrintState.CellHeight, 36);
}
