// Diagnostics of the job itself, for a person who reads standard error.
#pragma once

#include <string>

namespace tolvane {

// The print file could not be opened; error is the system's error number.
void DiagnoseUnreadablePrintFile(const std::string& name, int error);

}  // namespace tolvane
