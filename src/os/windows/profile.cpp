// tolvane.ini through the system's own private profile calls.
#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                               LPSTR buffer, DWORD size, LPCSTR fileName) {
  return static_cast<DWORD>(
      ::GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName));
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  return ::GetPrivateProfileIntA(section, key, defaultValue, fileName);
}

void RevalidateProfiles() {}

}  // namespace tolvane
