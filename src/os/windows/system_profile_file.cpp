#include "os/windows/system_profile_file.h"

#include <cstdlib>

#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

bool IsFile(const std::string& path) {
  ::DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

// Asked anew each time: a test or an administrator may set the variable or
// put the file there between two calls.
std::string SystemProfileFilePath() {
  const char* named = std::getenv("TOLVANE_SYSTEM_PROFILE");
  std::string path;
  if (named != nullptr && named[0] != '\0') {
    path = named;
  } else {
    std::string program = GetProgramPath();
    size_t separator = program.rfind('\\');
    if (separator != std::string::npos) path = program.substr(0, separator) + "\\system.ini";
  }
  return !path.empty() && IsFile(path) ? path : std::string();
}

}  // namespace tolvane
