#pragma once

#include <string>

namespace tolvane {

// Runs one command of the form NAME:arg,arg,... (FSIZ, FELM, BALM, BOLD,
// LINH, VERT, BITM). An unknown name is ignored; a malformed number fails.
void ExecuteCommand(const std::string& command);

}  // namespace tolvane
