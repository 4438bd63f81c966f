// The system's own words for an error code of GetLastError.
#pragma once

#include <string>

namespace tolvane {

// "The printer name is invalid (error 1801)"; for 0, that the system gave no
// reason. Call it before any other system call can change the code.
std::string SystemErrorText(unsigned long code);

}  // namespace tolvane
