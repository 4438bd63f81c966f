#include "stream/commands.h"

#include "render/logo.h"
#include "render/page.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace tolvane {

// Each argument is the next field of the command; a missing one repeats the
// last, and values are stored as soon as they are read.
static std::string_view NextArgument() { return NextFieldView("", ','); }

static void CommandCellSize() {
  PrintState.CellHeight = FieldToFloat(NextArgument());
  PrintState.CellWidth = FieldToFloat(NextArgument());
  SelectJobFont();
}

static void CommandUpperMargin() { PrintState.UpperMargin = FieldToInt(NextArgument()); }

static void CommandLeftMargin() { PrintState.LeftMargin = FieldToInt(NextArgument()); }

static void CommandBold() {
  int32_t weight = FieldToInt(NextArgument());
  // 0 and 1 are switches; larger values are weights of their own.
  if (weight >= 2)
    PrintState.JobLogFont.lfWeight = weight;
  else
    PrintState.JobLogFont.lfWeight = weight == 0 ? FW_NORMAL : FW_BOLD;
  SelectJobFont();
}

static void CommandLineHeight() { PrintState.LineHeight = FieldToFloat(NextArgument()); }

static void CommandRotate() {
  int32_t mode = FieldToInt(NextArgument());
  if (mode == PrintState.Rotated) return;
  PrintState.Rotated = mode;
  PrintState.PenX = 0.0;
  PrintState.PenY = 0.0;
  SelectJobFont();
}

struct TCommand {
  const char* Name;
  void (*Run)();
};

static const TCommand Commands[] = {
    {"FSIZ", CommandCellSize},  {"FELM", CommandUpperMargin}, {"BALM", CommandLeftMargin},
    {"BOLD", CommandBold},      {"LINH", CommandLineHeight},  {"VERT", CommandRotate},
    {"BITM", DrawLogo},
};

static char UpperCaseAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Every name of the table is four upper-case letters.
static bool IsCommandName(std::string_view name, const char* known) {
  for (size_t i = 0; i < 4; ++i)
    if (UpperCaseAscii(name[i]) != known[i]) return false;
  return true;
}

void ExecuteCommand(std::string_view command) {
  std::string_view name = NextFieldView(command, ':');
  if (name.size() != 4) return;
  for (const TCommand& known : Commands) {
    if (IsCommandName(name, known.Name)) {
      known.Run();
      return;
    }
  }
}

}  // namespace tolvane
