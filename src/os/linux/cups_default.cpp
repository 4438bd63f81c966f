// libcups takes the default from LPDEST, then PRINTER (where "lp" names
// none), then the user's lpoptions, then the system's, then the scheduler.
#include "os/linux/cups_default.h"

#include <cstdlib>
#include <fstream>

#include "ini_scan.h"

namespace tolvane {

namespace {

bool FromEnvironment(const char* variable, std::string& name, std::string& source) {
  const char* value = std::getenv(variable);
  if (value == nullptr || value[0] == '\0') return false;
  if (std::string(variable) == "PRINTER" && std::string(value) == "lp") return false;
  name = value;
  source = variable;
  return true;
}

// The destination of the file's "Default NAME[/INSTANCE] options..." line.
bool FromLpoptions(const std::string& path, std::string& name, std::string& source) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.size() < 8 || !SameIniName(line.substr(0, 8), "Default ")) continue;
    size_t start = line.find_first_not_of(" \t", 8);
    if (start == std::string::npos) continue;
    name = line.substr(start, line.find_first_of(" \t\r", start) - start);
    source = path;
    return true;
  }
  return false;
}

std::string UserLpoptions() {
  const char* home = std::getenv("HOME");
  return home != nullptr && home[0] != '\0' ? std::string(home) + "/.cups/lpoptions" : "";
}

std::string SystemLpoptions() {
  const char* root = std::getenv("CUPS_SERVERROOT");
  return std::string(root != nullptr && root[0] != '\0' ? root : "/etc/cups") + "/lpoptions";
}

}  // namespace

bool NamedCupsDefault(std::string& name, std::string& source) {
  bool named = FromEnvironment("LPDEST", name, source) ||
               FromEnvironment("PRINTER", name, source) ||
               (!UserLpoptions().empty() && FromLpoptions(UserLpoptions(), name, source)) ||
               FromLpoptions(SystemLpoptions(), name, source);
  if (named) name = name.substr(0, name.find('/'));
  return named && !name.empty();
}

}  // namespace tolvane
