#include "os/linux/find_program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace tolvane {

std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string entries = path != nullptr ? path : "";
  size_t start = 0;
  while (start <= entries.size()) {
    size_t end = entries.find(':', start);
    if (end == std::string::npos) end = entries.size();
    std::string candidate = entries.substr(start, end - start) + "/" + program;
    struct stat info;
    if (end > start && stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

}  // namespace tolvane
