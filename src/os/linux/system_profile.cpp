// The system printer profile: the printers a job may name and the default
// one. A file set up by the user or the administrator comes first, then the
// CUPS queues, then the printers built into the program, so that a job on a
// fresh machine still has somewhere to print.
#include <cstdlib>
#include <string>

#include "os/linux/profile_file.h"
#include "os/linux/system_profile_sources.h"
#include "os/win32.h"

namespace tolvane {

// Users without root (and the tests) point the program at a file of their own.
const char* SystemProfilePath() {
  const char* path = std::getenv("TOLVANE_SYSTEM_PROFILE");
  return path != nullptr && path[0] != '\0' ? path : "/etc/tolvane/system.ini";
}

namespace {

bool IsPrinterListEntry(const std::string& section, const std::string& key) {
  return SameNameIgnoringCase(section, "Devices") ||
         (SameNameIgnoringCase(section, "windows") && SameNameIgnoringCase(key, "device"));
}

// Asked only about entries of the printer list, so any [windows] entry here
// is the default printer.
bool LookupBuiltInPrinter(const std::string& section, const std::string& key,
                          std::string& value) {
  if (SameNameIgnoringCase(section, "windows")) {
    value = "PDF,PDF,tolvane.pdf";
  } else if (SameNameIgnoringCase(key, "PDF")) {
    value = "PDF,tolvane.pdf";
  } else if (SameNameIgnoringCase(key, "Trace")) {
    value = "TRACE,tolvane.trace";
  } else {
    return false;
  }
  return true;
}

// An empty value anywhere counts as no entry, so the next source may answer.
bool LookupSystemEntry(const std::string& section, const std::string& key, std::string& value) {
  if (FindProfileValue(SystemProfilePath(), section.c_str(), key.c_str(), value) &&
      !value.empty()) {
    return true;
  }
  if (!IsPrinterListEntry(section, key)) return false;
  if (LookupCupsProfileEntry(section, key, value) && !value.empty()) return true;
  return LookupBuiltInPrinter(section, key, value);
}

}  // namespace

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                        DWORD size) {
  std::string value;
  if (section == nullptr || key == nullptr || !LookupSystemEntry(section, key, value)) {
    value = defaultValue != nullptr ? defaultValue : "";
  }
  return CopyProfileString(value, buffer, size);
}

}  // namespace tolvane
