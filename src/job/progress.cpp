#include "job/progress.h"

#include <chrono>
#include <string>

#include "ini_scan.h"
#include "os/win32.h"
#include "render/page.h"
#include "stream/print_stream.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

using Clock = std::chrono::steady_clock;

// A job shorter than this shows nothing; after it the line is redrawn at
// most this often.
constexpr std::chrono::milliseconds QuietTime{1000};
constexpr std::chrono::milliseconds RedrawTime{200};
// Lines between looks at the clock.
constexpr int LinesPerLook = 64;

struct TProgress {
  bool Watched = false;
  bool Shown = false;
  int LinesSinceLook = 0;
  Clock::time_point Started;
  Clock::time_point Drawn;
};

TProgress Progress;

std::string Count(int64_t number, const char* one, const char* many) {
  return std::to_string(number) + " " + (number == 1 ? one : many);
}

void DrawProgress() {
  Clock::time_point now = Clock::now();
  if (now - Progress.Started < QuietTime || now - Progress.Drawn < RedrawTime) return;
  Progress.Drawn = now;
  Progress.Shown = true;
  ShowProgressLine(Count(SheetsBegun, "sheet", "sheets") + " printed, " +
                   Count(PrintState.CurrentPage, "page", "pages") + " read");
}

void LineRead() {
  if (++Progress.LinesSinceLook < LinesPerLook) return;
  Progress.LinesSinceLook = 0;
  DrawProgress();
}

// The drivers whose port is a file of the program's own making.
bool WritesFile(const std::string& driver) {
  for (const char* name : {"PDF", "PS", "SVG", "PNG", "TRACE", "Preview"})
    if (SameIniName(driver, name)) return true;
  return false;
}

}  // namespace

std::string JobOutput() {
  const TPrintState& state = PrintState;
  std::string place = DocumentPlace();
  if (!place.empty()) return place;
  if (SameIniName(state.PrinterDriver, "CUPS"))
    return "CUPS queue " + std::string(state.PrinterDevice);
  std::string port = state.PrinterPort;
  return port != "-" && WritesFile(state.PrinterDriver) ? FullPathName(port) : port;
}

// The summary names the driver beside a file, so that a PDF is not taken
// for a trace.
std::string JobDestination() {
  const TPrintState& state = PrintState;
  if (!DocumentPlace().empty() || SameIniName(state.PrinterDriver, "CUPS")) return JobOutput();
  return state.PrinterDriver + ": " + JobOutput();
}

void StartProgress() {
  SheetsBegun = 0;
  Progress = TProgress{};
  Progress.Watched = StandardErrorIsTerminal();
  Progress.Started = Clock::now();
  StreamLineHook = Progress.Watched ? LineRead : nullptr;
}

void EndProgress() {
  if (Progress.Shown) ShowProgressLine("");
  Progress.Shown = false;
  StreamLineHook = nullptr;
}

void ReportPrintedDocument() {
  bool shown = Progress.Shown;
  EndProgress();
  const TPrintState& state = PrintState;
  bool rangeMeetsFile = state.FirstPage <= state.LastPage && state.FirstPage <= state.CurrentPage &&
                        state.LastPage >= 1;
  std::string range = std::to_string(state.FirstPage) + " to " + std::to_string(state.LastPage);
  if (SheetsBegun == 0 && rangeMeetsFile) {
    Diagnose("the pages " + range + " of " + PrintFileName + " draw nothing: nothing was printed");
  } else if (SheetsBegun == 0) {
    Diagnose("no page of " + PrintFileName + " (" + Count(state.CurrentPage, "page", "pages") +
             ") falls in the range " + range + ": nothing was printed");
  } else if (shown) {
    Diagnose(Count(SheetsBegun, "sheet", "sheets") + " to " + JobDestination());
  }
}

}  // namespace tolvane
