#pragma once

#include <string>
#include <vector>

namespace tolvane {

// Splits a raw command line into its arguments, leaving out the program's
// own name: runs of characters 1 to 32 separate arguments; double quotes
// group blanks into an argument and are dropped; an empty quoted argument
// gives none; a lone quote at the very end ends the list. isLeadByte tells
// the first byte of a double-byte character, which is stepped over whole.
std::vector<std::string> SplitCommandLine(const char* raw, bool (*isLeadByte)(unsigned char));

}  // namespace tolvane
