// The system printer profile of the portable unit tests on Windows. Those
// tests describe their printers in a file of their own and name it in
// TOLVANE_SYSTEM_PROFILE, as on Linux; here the file is read through the
// system's own private profile call, so the values reach the device layer
// as Windows reads them. Without the variable the real system profile
// answers.
#include <cstdlib>

#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                        DWORD size) {
  const char* file = std::getenv("TOLVANE_SYSTEM_PROFILE");
  if (file == nullptr || file[0] == '\0')
    return static_cast<DWORD>(::GetProfileStringA(section, key, defaultValue, buffer, size));
  return static_cast<DWORD>(
      ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, file));
}

}  // namespace tolvane
