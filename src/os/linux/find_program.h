// Programs the job starts (a dialog, a PDF viewer) are found on PATH.
#pragma once

#include <string>

namespace tolvane {

// The full path of an executable program on PATH; empty when none. Empty
// entries of PATH (the current directory) are skipped: a helper program is
// not taken from wherever the job happens to run.
std::string FindOnPath(const char* program);

}  // namespace tolvane
