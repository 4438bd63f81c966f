#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job_state_fixture.h"
#include "stream/commands.h"

using namespace tolvane;

using Commands = JobStateTest;

namespace {

struct Expected {
  double cellHeight = 36, cellWidth = 24, lineHeight = 41;
  int32_t upper = 5, left = 10, weight = 0, rotated = 0;
};

// Starts from the state a job has after its defaults and a configuration
// with margins 10 and 5.
void StartFromDefaults() {
  PrintState.CellHeight = 36;
  PrintState.CellWidth = 24;
  PrintState.LineHeight = 41;
  PrintState.LeftMargin = 10;
  PrintState.UpperMargin = 5;
}

}  // namespace

TEST_F(Commands, EachCommandStoresWhatItReads) {
  struct Case {
    std::vector<const char*> commands;
    Expected expected;
  };
  auto with = [](auto change) {
    Expected expected;
    change(expected);
    return expected;
  };
  Case cases[] = {
      {{"FSIZ:20,12"}, with([](Expected& e) { e.cellHeight = 20, e.cellWidth = 12; })},
      {{"fsiz:20,12"}, with([](Expected& e) { e.cellHeight = 20, e.cellWidth = 12; })},
      {{"Fsiz:20,12"}, with([](Expected& e) { e.cellHeight = 20, e.cellWidth = 12; })},
      {{" FSIZ:20,12"}, Expected{}},
      {{"FSIZ :20,12"}, Expected{}},
      {{"FSIZZ:20,12"}, Expected{}},
      {{"FSI:20,12"}, Expected{}},
      {{"fSiZ:20,12"}, with([](Expected& e) { e.cellHeight = 20, e.cellWidth = 12; })},
      {{"FSIZ:36"}, with([](Expected& e) { e.cellWidth = 36; })},
      {{"FSIZ"}, with([](Expected& e) { e.cellHeight = 0, e.cellWidth = 0; })},
      {{"FSIZ: 36, 24"}, with([](Expected& e) { e.cellHeight = 0, e.cellWidth = 0; })},
      {{"FSIZ:3.5,2.4"}, with([](Expected& e) { e.cellHeight = 3.5, e.cellWidth = 2.4; })},
      {{"FSIZ:3,5,2,4"}, with([](Expected& e) { e.cellHeight = 3, e.cellWidth = 5; })},
      {{"FELM:-5"}, with([](Expected& e) { e.upper = -5; })},
      {{"BALM:12mm"}, with([](Expected& e) { e.left = 12; })},
      {{"BOLD:0"}, with([](Expected& e) { e.weight = 400; })},
      {{"BOLD:1"}, with([](Expected& e) { e.weight = 700; })},
      {{"BOLD:-3"}, with([](Expected& e) { e.weight = 700; })},
      {{"BOLD:2"}, with([](Expected& e) { e.weight = 2; })},
      {{"BOLD:900"}, with([](Expected& e) { e.weight = 900; })},
      {{"BOLD:x"}, with([](Expected& e) { e.weight = 400; })},
      {{"BOLD"}, with([](Expected& e) { e.weight = 400; })},
      {{"BOLD:,700"}, with([](Expected& e) { e.weight = 400; })},
      {{"BOLD,700"}, Expected{}},
      {{"LINH:50"}, with([](Expected& e) { e.lineHeight = 50; })},
      {{"LINH:41", "LINH:"}, with([](Expected& e) { e.lineHeight = 0; })},
      {{"LINH:,50"}, with([](Expected& e) { e.lineHeight = 0; })},
      {{"VERT:1"}, with([](Expected& e) { e.rotated = 1; })},
      {{"VERT:1", "VERT:0"}, Expected{}},
      {{"XYZ:1,2"}, Expected{}},
      {{"FELM:1:2"}, with([](Expected& e) { e.upper = 1; })},
  };
  for (const Case& c : cases) {
    StartFromDefaults();
    PrintState.JobLogFont.lfWeight = 0;
    PrintState.Rotated = 0;
    std::string shown;
    for (const char* command : c.commands) {
      ExecuteCommand(command);
      shown += std::string(command) + " ";
    }
    SCOPED_TRACE(shown);
    EXPECT_EQ(PrintState.CellHeight, c.expected.cellHeight);
    EXPECT_EQ(PrintState.CellWidth, c.expected.cellWidth);
    EXPECT_EQ(PrintState.LineHeight, c.expected.lineHeight);
    EXPECT_EQ(PrintState.UpperMargin, c.expected.upper);
    EXPECT_EQ(PrintState.LeftMargin, c.expected.left);
    EXPECT_EQ(PrintState.JobLogFont.lfWeight, c.expected.weight);
    EXPECT_EQ(PrintState.Rotated, c.expected.rotated);
  }
}

TEST_F(Commands, RotationResetsThePenOnlyWhenTheModeChanges) {
  struct Step {
    const char* command;
    bool resets;
  } steps[] = {{"VERT:0", false}, {"VERT:1", true}, {"VERT:1", false},
               {"VERT:2", true},  {"VERT:0", true}, {"VERT:0", false}};
  for (const Step& step : steps) {
    PrintState.PenX = 96;
    PrintState.PenY = -82;
    PrintState.Column = 4;
    ExecuteCommand(step.command);
    SCOPED_TRACE(step.command);
    EXPECT_EQ(PrintState.PenX, step.resets ? 0.0 : 96.0);
    EXPECT_EQ(PrintState.PenY, step.resets ? 0.0 : -82.0);
    EXPECT_EQ(PrintState.Column, 4);  // tab stops keep counting from the old column
  }
}

TEST_F(Commands, MalformedNumbersFailAfterStoringWhatCameBefore) {
  StartFromDefaults();
  EXPECT_THROW(ExecuteCommand("FSIZ:1-2,3"), TJobFailure);
  EXPECT_EQ(PrintState.CellHeight, 36);
  EXPECT_THROW(ExecuteCommand("FSIZ:30,-"), TJobFailure);
  EXPECT_EQ(PrintState.CellHeight, 30);
  EXPECT_EQ(PrintState.CellWidth, 24);
  EXPECT_THROW(ExecuteCommand("BOLD:+"), TJobFailure);
  EXPECT_THROW(ExecuteCommand("VERT:99999999999"), TJobFailure);
  EXPECT_NO_THROW(ExecuteCommand("NOPE:1-2"));  // unknown commands read nothing
}
