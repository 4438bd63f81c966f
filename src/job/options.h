// The program's options, besides a print job: help, version, the check of
// the configuration and the list of printers. A host always passes a print
// file and a page, which no option is taken for.
#pragma once

#include <string>
#include <vector>

namespace tolvane {

// True when the arguments were an option or too few for a job; exitCode is
// then the program's exit code.
bool AnswerOptions(const std::vector<std::string>& arguments, int& exitCode);

// True when the arguments ask for help, the version, the check or the list
// of printers: no job, so nothing for the job log.
bool AskedForInformation(const std::vector<std::string>& arguments);

// tolvane --check [FILE]: 0 when clean, 1 when problems were found.
int CheckConfiguration(const std::string& printFile);

// tolvane --list-printers: the printers a job could use and the default.
int ListPrinters();

}  // namespace tolvane
