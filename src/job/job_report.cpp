#include "job/job_report.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "os/win32.h"

namespace tolvane {

// A relative name is taken from the current directory, which the host may
// have set somewhere unexpected, so the message names both.
void DiagnoseUnreadablePrintFile(const std::string& name, int error) {
  std::error_code ignored;
  std::string directory = std::filesystem::current_path(ignored).string();
  std::string why = error != 0 ? std::strerror(error) : "not a file";
  if (std::filesystem::is_directory(name, ignored)) why = "it is a directory";
  std::string where = std::filesystem::path(name).is_absolute() ? "" : " in " + directory;
  Diagnose("cannot open the print file '" + name + "'" + where + ": " + why);
}

}  // namespace tolvane
