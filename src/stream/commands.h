#pragma once

#include <string_view>

namespace tolvane {

// Runs one command of the form NAME:arg,arg,... (FSIZ, FELM, BALM, BOLD,
// LINH, VERT, BITM). An unknown name is ignored; a malformed number fails.
void ExecuteCommand(std::string_view command);

}  // namespace tolvane
