// The text of a system error, in the ANSI code page like every message.
#include "os/windows/system_error.h"

#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

std::string SystemErrorText(unsigned long code) {
  if (code == 0) return "the system gives no reason";
  char text[512] = {};
  ::DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, sizeof text, nullptr);
  std::string words(text, length);
  // The system's texts end in a full stop and a line end.
  while (!words.empty() && (words.back() == '\r' || words.back() == '\n' ||
                            words.back() == ' ' || words.back() == '.'))
    words.pop_back();
  std::string number = "error " + std::to_string(code);
  return words.empty() ? number : words + " (" + number + ")";
}

}  // namespace tolvane
