#include "job/options.h"

#include <cstdio>

#include "job/job.h"
#include "os/win32.h"

namespace tolvane {

namespace {

const char UsageLine[] = "usage: tolvane FILE FIRST [LAST]  (tolvane --help tells more)";

void PrintHelp() {
  std::printf(
      "Usage: tolvane FILE FIRST [LAST]\n"
      "       tolvane --check [FILE]\n"
      "       tolvane --list-printers\n"
      "Prints the pages FIRST to LAST (default 32767) of the print file FILE on the\n"
      "printer that tolvane.ini beside the program names, or on the default printer.\n"
      "\n"
      "  --check [FILE]    show what a job would use and every problem of the\n"
      "                    configuration (and of FILE); exit 1 when there are any\n"
      "  --list-printers   the printers a job could use, and the default one\n"
      "  -h, --help        this text\n"
      "  -V, --version     the program's version\n"
      "\n"
      "Exit codes: 0 printed, 1 the job failed, 2 no printer, 3 no file name,\n"
      "55 the print file cannot be opened.\n");
}

bool IsOption(const std::string& argument, const char* shortName, const char* longName) {
  return (shortName != nullptr && argument == shortName) || argument == longName;
}

}  // namespace

bool AskedForInformation(const std::vector<std::string>& arguments) {
  if (!arguments.empty() && arguments[0] == "--check" && arguments.size() <= 2) return true;
  if (arguments.size() != 1) return false;
  const std::string& argument = arguments[0];
  return IsOption(argument, "-h", "--help") || IsOption(argument, "-V", "--version") ||
         IsOption(argument, nullptr, "--list-printers");
}

// Options are only taken alone (or --check with its file): with a page
// number after it, a name that starts with '-' is a print file like any.
bool AnswerOptions(const std::vector<std::string>& arguments, int& exitCode) {
  exitCode = ExitPrinted;
  if (!arguments.empty() && arguments[0] == "--check" && arguments.size() <= 2) {
    exitCode = CheckConfiguration(arguments.size() == 2 ? arguments[1] : "");
    return true;
  }
  if (arguments.size() >= 2) return false;
  const std::string argument = arguments.empty() ? "" : arguments[0];
  if (IsOption(argument, "-h", "--help")) {
    PrintHelp();
  } else if (IsOption(argument, "-V", "--version")) {
    std::printf("tolvane %s\n", TOLVANE_VERSION);
  } else if (IsOption(argument, nullptr, "--list-printers")) {
    exitCode = ListPrinters();
  } else if (argument.size() > 1 && argument[0] == '-') {
    Diagnose("unknown option '" + argument + "'; " + UsageLine);
  } else if (!argument.empty()) {
    Diagnose("no page range for '" + argument + "' (to print it all: tolvane " + argument +
             " 1); " + UsageLine);
  } else {
    Diagnose(UsageLine);
  }
  return true;
}

}  // namespace tolvane
