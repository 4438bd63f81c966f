#include "job/job.h"

#include <cerrno>
#include <cstdio>
#include <new>

#include "job/configuration.h"
#include "job/job_report.h"
#include "job/options.h"
#include "job/printer.h"
#include "job/progress.h"
#include "stream/failure_place.h"
#include "stream/fields.h"
#include "stream/print_stream.h"
#include "tolvane_state.h"

namespace tolvane {

static const char WarningCaption[] = "Figyelem!";
static const char FailureText[] = "Hiba t\xF6rt\xE9nt a LOGO nyomtat\xE1sakor!";
static const int32_t NoLastPage = 0x7FFF;

static DOCINFOA JobDocInfo;
static bool DocumentStarted;

void LocateConfiguration() {
  std::string program = GetProgramPath();
  size_t separator = program.rfind(PathSeparator());
  ProgramDir = separator == std::string::npos ? std::string() : program.substr(0, separator);
  ConfigPath = ProgramDir + PathSeparator() + "tolvane.ini";
}

// Page arguments are read leniently: text without a number is 0, and no
// check of the range follows.
static int32_t ReadPageArgument(const std::vector<std::string>& arguments, size_t index,
                                const char* which, int32_t absent) {
  if (arguments.size() <= index) return absent;
  SetFailureSource(std::string("the ") + which + " page argument '" + arguments[index] + "'");
  return FieldToInt(arguments[index]);
}

static void ReadPageRange(const std::vector<std::string>& arguments) {
  PrintState.FirstPage = ReadPageArgument(arguments, 1, "first", 1);
  PrintState.LastPage = ReadPageArgument(arguments, 2, "last", NoLastPage);
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
  if (PrintFileName.empty()) {
    Diagnose("the print file name is empty");
    return ExitNoFileName;
  }
  ReadPageRange(arguments);
  OpenJobPrinter();
  StartDocA(PrintState.PrinterDC, &JobDocInfo);
  DocumentStarted = true;
  PrintState.CurrentPage = 1;
  StartProgress();
  if (PrintStream(PrintState.PrinterDC, PrintFileName)) {
    EndDoc(PrintState.PrinterDC);
    ReleasePrinter();
    ReportPrintedDocument();
    return ExitPrinted;
  }
  int error = errno;
  AbortDoc(PrintState.PrinterDC);
  ReleasePrinter();
  DiagnoseUnreadablePrintFile(PrintFileName, error);
  return ExitUnreadable;
}

int JobFailureHandler(const std::string& message) {
  EndProgress();
  std::string place = FailurePlace();
  SetWarningDetail(place.empty() ? message : place + ": " + message);
  MessageBoxA(nullptr, FailureText, WarningCaption, MB_OK | MB_ICONWARNING);
  // A failed job must not look printed, nor leave half a document behind.
  if (DocumentStarted) AbortDoc(PrintState.PrinterDC);
  if (PrintState.PrinterDC) ReleasePrinter();
  return ExitFailed;
}

const char* ExitCodeMeaning(int code) {
  switch (code) {
    case ExitPrinted: return "printed";
    case ExitFailed: return "the job failed";
    case ExitNoPrinter: return "no printer could be opened";
    case ExitNoFileName: return "the print file name is empty";
    case ExitUnreadable: return "the print file cannot be opened";
    default: return "the job did not end well";
  }
}

int TolvaneMain(const std::vector<std::string>& arguments) {
  int optionExit = ExitPrinted;
  if (AnswerOptions(arguments, optionExit)) return optionExit;
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
