// The system printer profile: win.ini, whose [windows] device and [Devices]
// entries Windows answers from the printers it has installed; the sections
// of other printers' geometry (the TRACE printer's) stand in the file itself.
// Keep this file to this one call: the portable unit tests link their own in
// its place.
#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                        DWORD size) {
  return static_cast<DWORD>(::GetProfileStringA(section, key, defaultValue, buffer, size));
}

}  // namespace tolvane
