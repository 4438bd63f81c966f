// The system printer profile on Windows: a profile file of the program's
// own first (TOLVANE_SYSTEM_PROFILE, else system.ini beside the program),
// for its [windows] device and [Devices] entries and the printers' sections,
// then win.ini, whose printer entries Windows answers from the printers it
// has installed. Without such a file a job sees exactly what Windows gives.
// Keep this file to this one call: the portable unit tests link their own in
// its place.
#include <string>

#include "os/win32.h"
#include "os/windows/system_profile_file.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

// No value of a profile holds this byte, so it tells a missing entry.
const char Missing[] = "\x01";

// An empty value counts as no entry, so that Windows may answer.
bool LookupProfileFile(LPCSTR section, LPCSTR key, LPSTR buffer, DWORD size, DWORD& length) {
  if (section == nullptr || key == nullptr) return false;
  std::string path = SystemProfileFilePath();
  if (path.empty()) return false;
  length = static_cast<DWORD>(
      ::GetPrivateProfileStringA(section, key, Missing, buffer, size, path.c_str()));
  return length > 0 && buffer[0] != Missing[0];
}

}  // namespace

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                        DWORD size) {
  DWORD length = 0;
  if (size > 1 && LookupProfileFile(section, key, buffer, size, length)) return length;
  return static_cast<DWORD>(::GetProfileStringA(section, key, defaultValue, buffer, size));
}

}  // namespace tolvane
