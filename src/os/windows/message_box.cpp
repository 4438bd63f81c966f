// The warning box: the system's own modal message box.
#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  NoteWarningShown(caption != nullptr ? caption : "", "");
  return ::MessageBoxA(static_cast<::HWND>(owner), text, caption, style);
}

}  // namespace tolvane
