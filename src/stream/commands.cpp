#include "stream/commands.h"

#include "render/logo.h"
#include "render/page.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace tolvane {

// Each argument is the next field of the command; a missing one repeats the
// last, and values are stored as soon as they are read.
static std::string NextArgument() { return NextField("", ','); }

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

static std::string UpperCaseAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

void ExecuteCommand(const std::string& command) {
  std::string name = UpperCaseAscii(NextField(command, ':'));
  for (const TCommand& known : Commands) {
    if (name == known.Name) {
      known.Run();
      return;
    }
  }
}

}  // namespace tolvane
