// The print job as a whole: arguments, configuration, printer, document, and
// the one handler that every failure of the job reaches.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

// The exit codes, the program's only report to the host.
enum : int {
  ExitPrinted = 0,      // printed, or fewer than two arguments
  ExitFailed = 1,       // a failure ended the job; the document was aborted
  ExitNoPrinter = 2,    // no device context for the printer
  ExitNoFileName = 3,   // the print file name is empty
  ExitUnreadable = 55,  // the print file cannot be opened; the document was aborted
};

// The job's own checks end it at once with their code, bypassing the failure
// handler.
struct TJobExit {
  int Code;
};

// Finds the program's directory and the configuration file in it.
void LocateConfiguration();

// Runs one job for the arguments after the program's name; returns the exit
// code.
int TolvaneMain(const std::vector<std::string>& arguments);

// What an exit code tells, in a few words.
const char* ExitCodeMeaning(int code);

// Shows the warning for a failure, gives up the document and the context, and
// returns the exit code.
int JobFailureHandler(const std::string& message);

}  // namespace tolvane
