// The system printer profile file of the program on Windows: the file that
// TOLVANE_SYSTEM_PROFILE names, else system.ini beside the program. Empty
// when neither is there.
#pragma once

#include <string>

namespace tolvane {

std::string SystemProfileFilePath();

}  // namespace tolvane
