// The terminal's character set, shared by the console warning.
#pragma once

#include <string>

namespace tolvane {

// The character set of the locale the user started the program in (as
// nl_langinfo(CODESET) named it), taken by InitializePlatform.
std::string ConsoleCharset();

}  // namespace tolvane
