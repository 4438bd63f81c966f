// The pieces of tolvane --check: what a job would use is shown, every
// problem is counted and shown, and nothing is printed or written.
#pragma once

#include <string>
#include <vector>

#include "ini_scan.h"

namespace tolvane {

// One line "NAME: TEXT" of what the job would use.
void ShowSetting(const std::string& name, const std::string& text);
// One line "problem: TEXT", counted.
void ShowProblem(const std::string& text);
int ProblemsShown();

// The lines of tolvane.ini that no reader takes as they look: unknown
// sections and keys, repeated ones, values that read otherwise, commands
// that do not exist, logo files that are missing.
void CheckConfigurationLines(const std::vector<TIniLine>& lines);

// One command as the job would run it (a [sequences] value); where names the
// place for the problems.
void CheckCommand(const std::string& command, const std::string& where);

}  // namespace tolvane
