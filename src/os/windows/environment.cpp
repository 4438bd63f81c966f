// What the program takes from Windows: the user's decimal separator, its own
// file name, the raw command line and its input files.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>
#include <string>
#include <vector>

#include "os/command_line.h"
#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

bool PlatformInitialized = false;
char UserDecimalSeparator = '.';

// LOCALE_SDECIMAL of the thread's locale: its one character, or '.' when
// the locale gives none or a longer one (one too long for the buffer makes
// the call fail, with the same answer).
char DecimalSeparatorOfThreadLocale() {
  char separator[4] = {};
  int written = ::GetLocaleInfoA(::GetThreadLocale(), LOCALE_SDECIMAL, separator,
                                 static_cast<int>(sizeof separator));
  return written == 2 && separator[0] != '\0' ? separator[0] : '.';
}

bool IsLeadByte(unsigned char byte) { return ::IsDBCSLeadByte(byte) != 0; }

}  // namespace

// The C runtime starts in the C locale and stays there. Standard output is
// made binary, so that a trace written there ends its lines in "\n" alone,
// as it does in a file.
void InitializePlatform() {
  UserDecimalSeparator = DecimalSeparatorOfThreadLocale();
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
  PlatformInitialized = true;
}

char GetUserDecimalSeparator() {
  if (!PlatformInitialized) InitializePlatform();
  return UserDecimalSeparator;
}

// GetModuleFileNameA fills the buffer and says nothing more when the name is
// longer than that, so the buffer grows until the name leaves room to spare.
std::string GetProgramPath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return std::string();
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 0x100000) return std::string();
    path.resize(path.size() * 2);
  }
}

char PathSeparator() { return '\\'; }

// argv of the C runtime follows other rules (backslashes escape quotes), so
// the arguments are split from the raw command line instead.
std::vector<std::string> GetArguments(int /*argc*/, char** /*argv*/) {
  return SplitCommandLine(::GetCommandLineA(), IsLeadByte);
}

// Others may read the file while the job reads it, but nobody may write it.
// A directory cannot be opened this way, so only files come back.
std::FILE* OpenForSharedRead(const char* name) {
  if (name == nullptr) return nullptr;
  return _fsopen(name, "rb", _SH_DENYWR);
}

// The warning box is the whole report on Windows.
void ReportFailureDetail(const std::string& /*message*/) {}

// Device names such as CON or COM1 are no regular files either.
bool IsRegularFile(const char* name) {
  struct _stat64 info;
  return name != nullptr && _stat64(name, &info) == 0 && (info.st_mode & _S_IFMT) == _S_IFREG;
}

}  // namespace tolvane
