// tolvane --check [FILE]: reads the configuration and the printer exactly as
// a job would, shows what the job would use and every problem on the way,
// and prints or writes nothing.
#include "job/check.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "job/configuration.h"
#include "job/job.h"
#include "job/job_log.h"
#include "job/options.h"
#include "job/printer.h"
#include "tolvane_state.h"

namespace tolvane {

namespace {

int Problems = 0;

const char Escape = 27;
const char FormFeed = 12;
const char EndOfFile = 26;

void CheckConfigurationFile() {
  std::vector<TIniLine> lines;
  std::string why;
  if (!ScanIniFile(ConfigPath, lines, why)) {
    ShowSetting("configuration", ConfigPath + " (" + why + ": every setting is its default)");
    return;
  }
  ShowSetting("configuration", ConfigPath);
  CheckConfigurationLines(lines);
  try {
    ReadConfiguration();
  } catch (const TJobFailure&) {
    // Shown above with its line; the job would end there.
  }
}

std::string PrinterCodePage(const std::string& device) {
  char value[32] = {};
  GetProfileStringA(device.c_str(), "codepage", "", value, sizeof value);
  return value[0] ? value : "1252";
}

void ShowGeometry() {
  const TPrintState& state = PrintState;
  HDC dc = state.PrinterDC;
  ShowSetting("printable area", std::to_string(state.PageWidth / 10) + " x " +
                                    std::to_string(state.PageHeight / 10) + " mm, " +
                                    std::to_string(GetDeviceCaps(dc, HORZRES)) + " x " +
                                    std::to_string(GetDeviceCaps(dc, VERTRES)) + " pixels at " +
                                    std::to_string(GetDeviceCaps(dc, LOGPIXELSX)) + " x " +
                                    std::to_string(GetDeviceCaps(dc, LOGPIXELSY)) + " dpi");
  ShowSetting("margins", std::to_string(state.LeftMargin) + " mm left, " +
                             std::to_string(state.UpperMargin) + " mm upper");
  ShowSetting("code page", PrinterCodePage(state.PrinterDevice));
}

// A printer that cannot be opened has said why on standard error.
void CheckPrinter() {
  TPrintState& state = PrintState;
  try {
    OpenJobPrinter(true);
  } catch (const TJobExit&) {
    ShowProblem("no printer: a job would end with exit code 2");
    return;
  } catch (const TJobFailure& failure) {
    ShowProblem("printer '" + std::string(state.PrinterDevice) + "': " + failure.Message);
  }
  ShowSetting("printer", std::string(state.PrinterDevice) + " (driver " + state.PrinterDriver +
                             ", output " + state.PrinterPort + ")");
  if (state.PrinterDC) ShowGeometry();
  DeleteDC(state.PrinterDC);
  state.PrinterDC = nullptr;
}

struct TLetterUse {
  int64_t FirstLine = 0;
  int64_t Count = 0;
};

bool HasSequence(char letter) {
  char key[2] = {letter, 0};
  char value[8];
  return GetPrivateProfileStringA("sequences", key, "", value, sizeof value, ConfigPath.c_str()) >
         0;
}

// Pages and escape letters as the stream would meet them, without drawing.
void CheckPrintFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  if (!file) {
    ShowProblem("print file '" + name + "' cannot be opened (a job would end with exit code 55)");
    return;
  }
  std::map<unsigned char, TLetterUse> letters;
  int64_t pages = 1, line = 1, lines = 0;
  for (int c = file.get(); c != EOF && c != EndOfFile; c = file.get()) {
    lines = line;
    if (c == '\n') line++;
    if (c == FormFeed) pages++;
    if (c == Escape) {
      int letter = file.get();
      if (letter == EOF || letter == '\n' || letter == Escape) {
        if (letter == '\n') line++;
        continue;
      }
      TLetterUse& use = letters[static_cast<unsigned char>(letter)];
      if (use.Count++ == 0) use.FirstLine = line;
    }
  }
  ShowSetting("print file", name + ": " + std::to_string(pages) +
                                (pages == 1 ? " page, " : " pages, ") + std::to_string(lines) +
                                (lines == 1 ? " line" : " lines"));
  for (const auto& [letter, use] : letters) {
    if (HasSequence(static_cast<char>(letter))) continue;
    std::string shown = letter > 32 && letter < 127 ? std::string(1, static_cast<char>(letter))
                                                    : "\\x" + std::to_string(letter);
    ShowProblem("print file line " + std::to_string(use.FirstLine) + ": ESC " + shown + " (" +
                std::to_string(use.Count) + (use.Count == 1 ? " time" : " times") +
                ") has no entry in [sequences] and does nothing");
  }
}

}  // namespace

void ShowSetting(const std::string& name, const std::string& text) {
  std::printf("%s: %s\n", name.c_str(), text.c_str());
}

void ShowProblem(const std::string& text) {
  Problems++;
  std::printf("problem: %s\n", text.c_str());
}

int ProblemsShown() { return Problems; }

int CheckConfiguration(const std::string& printFile) {
  int diagnosticsBefore = DiagnosticsGiven();
  LocateConfiguration();
  CheckConfigurationFile();
  CheckPrinter();
  ShowSetting("font", DescribeFontFace(PrintState.JobLogFont.lfFaceName, PrintState.PrinterDriver,
                                       PrintState.PrinterDevice, PrintState.PrinterPort));
  if (!printFile.empty()) CheckPrintFile(printFile);
  std::string why;
  std::string log = JobLogPath(why);
  ShowSetting("job log", log.empty() ? "none (" + why + ")" : log);
  // Fallbacks of the printer's geometry and code page were said on
  // standard error; each is a problem too.
  int problems = Problems + (DiagnosticsGiven() - diagnosticsBefore);
  std::fflush(stdout);
  return problems == 0 ? 0 : 1;
}

}  // namespace tolvane
