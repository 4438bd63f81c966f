#include "render/logo_report.h"

#include <cstring>
#include <filesystem>

namespace tolvane {

// A relative name is taken from the current directory of the job, which is
// the host's, not the program's.
std::string MissingLogoDetail(const std::string& name, int error) {
  if (name.empty()) return "BITM names no logo file";
  std::error_code ignored;
  std::string tried = std::filesystem::absolute(name, ignored).string();
  std::string why = error != 0 ? std::strerror(error) : "not a regular file (a FIFO, device or socket is never read)";
  if (std::filesystem::is_directory(name, ignored)) why = "it is a directory";
  return "logo file '" + name + "' (looked for as " + (tried.empty() ? name : tried) + "): " + why;
}

}  // namespace tolvane
