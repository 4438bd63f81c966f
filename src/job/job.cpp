#include "job/job.h"

#include <cstdio>
#include <new>

#include "job/configuration.h"
#include "job/printer.h"
#include "stream/fields.h"
#include "stream/print_stream.h"
#include "tolvane_state.h"

namespace tolvane {

static const char WarningCaption[] = "Figyelem!";
static const char FailureText[] = "Hiba t\xF6rt\xE9nt a LOGO nyomtat\xE1sakor!";
static const int32_t NoLastPage = 0x7FFF;

static DOCINFOA JobDocInfo;
static bool DocumentStarted;

static void LocateConfiguration() {
  std::string program = GetProgramPath();
  size_t separator = program.rfind(PathSeparator());
  ProgramDir = separator == std::string::npos ? std::string() : program.substr(0, separator);
  ConfigPath = ProgramDir + PathSeparator() + "tolvane.ini";
}

// Page arguments are read leniently: text without a number is 0, and no
// check of the range follows.
static void ReadPageRange(const std::vector<std::string>& arguments) {
  PrintState.FirstPage = arguments.size() >= 2 ? FieldToInt(arguments[1]) : 1;
  PrintState.LastPage = arguments.size() >= 3 ? FieldToInt(arguments[2]) : NoLastPage;
}

static void ReleasePrinter() {
  DeleteDC(PrintState.PrinterDC);
  PrintState.PrinterDC = nullptr;
  DocumentStarted = false;
}

static int RunJob(const std::vector<std::string>& arguments) {
  JobDocInfo = DOCINFOA{static_cast<int>(sizeof(DOCINFOA)), "Tolvane_drv", nullptr, nullptr, 0};
  LocateConfiguration();
  // What changed in tolvane.ini since an earlier job in this process counts.
  RevalidateProfiles();
  ReadConfiguration();
  PrintFileName = arguments[0];
  if (PrintFileName.empty()) return ExitNoFileName;
  ReadPageRange(arguments);
  OpenJobPrinter();
  StartDocA(PrintState.PrinterDC, &JobDocInfo);
  DocumentStarted = true;
  PrintState.CurrentPage = 1;
  if (PrintStream(PrintState.PrinterDC, PrintFileName)) {
    EndDoc(PrintState.PrinterDC);
    ReleasePrinter();
    return ExitPrinted;
  }
  AbortDoc(PrintState.PrinterDC);
  ReleasePrinter();
  return ExitUnreadable;
}

int JobFailureHandler(const std::string& message) {
  MessageBoxA(nullptr, FailureText, WarningCaption, MB_OK | MB_ICONWARNING);
  ReportFailureDetail(message);
  // A failed job must not look printed, nor leave half a document behind.
  if (DocumentStarted) AbortDoc(PrintState.PrinterDC);
  if (PrintState.PrinterDC) ReleasePrinter();
  return ExitFailed;
}

static bool AnswerInformationRequest(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) return false;
  if (arguments[0] == "--version") {
    std::printf("tolvane %s\n", TOLVANE_VERSION);
    return true;
  }
  if (arguments[0] == "--help") {
    std::printf(
        "Usage: tolvane FILE FIRST [LAST]\n"
        "Prints the pages FIRST to LAST (default 32767) of the print file FILE on the\n"
        "printer that tolvane.ini beside the program names, or on the default printer.\n"
        "Exit codes: 0 printed, 1 the job failed, 2 no printer, 3 no file name,\n"
        "55 the print file cannot be opened.\n");
    return true;
  }
  return false;
}

int TolvaneMain(const std::vector<std::string>& arguments) {
  if (AnswerInformationRequest(arguments)) return ExitPrinted;
  if (arguments.size() < 2) return ExitPrinted;
  try {
    return RunJob(arguments);
  } catch (const TJobExit& exit) {
    return exit.Code;
  } catch (const TJobFailure& failure) {
    return JobFailureHandler(failure.Message);
  } catch (const std::bad_alloc&) {
    return JobFailureHandler("Out of memory");
  }
}

}  // namespace tolvane
