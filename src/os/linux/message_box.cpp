// The warning box. In a graphical session the warning is a modal zenity
// dialog, so a user who started the job from a desktop sees it; everywhere
// else it becomes one line on standard error. Texts arrive in code page 1250,
// the character set the hosts write their messages in.
#include <fcntl.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "os/linux/console_charset.h"
#include "os/win32.h"

extern char** environ;

namespace tolvane {

namespace {

const int AnsweredOk = 1;  // IDOK: the only button the warning has

// Whether the last warning ended up on standard error, where the failure's
// own message may follow it.
bool LastWarningOnConsole = false;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Converts as much as iconv will; false when it gives up on a byte that has
// no meaning in code page 1250, so the caller can fall back to the raw bytes.
bool ConvertFromCp1250(const std::string& text, const std::string& charset, std::string& out) {
  iconv_t converter = iconv_open((charset + "//TRANSLIT").c_str(), "CP1250");
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  bool ok = true;
  out.clear();
  while (ok && inLeft > 0) {
    char chunk[1024];
    char* outAt = chunk;
    size_t outLeft = sizeof chunk;
    size_t result = iconv(converter, &in, &inLeft, &outAt, &outLeft);
    out.append(chunk, static_cast<size_t>(outAt - chunk));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) ok = false;
  }
  iconv_close(converter);
  return ok;
}

std::string ConvertOrKeep(const std::string& text, const std::string& charset) {
  std::string converted;
  return ConvertFromCp1250(text, charset, converted) ? converted : text;
}

void WriteConsoleLine(const std::string& text) {
  std::string line = ConvertOrKeep(text, ConsoleCharset()) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Empty entries of PATH (the current directory) are skipped: a dialog
// program is not taken from wherever the job happens to run.
std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string entries = path != nullptr ? path : "";
  size_t start = 0;
  while (start <= entries.size()) {
    size_t end = entries.find(':', start);
    if (end == std::string::npos) end = entries.size();
    std::string candidate = entries.substr(start, end - start) + "/" + program;
    struct stat info;
    if (end > start && stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

void WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

bool SpawnQuietly(const std::string& program, char** arguments, pid_t& child) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  bool ok = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, 1, 2) == 0 &&
            posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  return ok;
}

// False when there is no graphical session or no zenity to show the dialog.
bool ShowDialog(const std::string& text, const std::string& caption) {
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) return false;
  std::string program = FindOnPath("zenity");
  if (program.empty()) return false;
  std::string title = "--title=" + ConvertOrKeep(caption, "UTF-8");
  std::string body = "--text=" + ConvertOrKeep(text, "UTF-8");
  char* arguments[] = {program.data(), const_cast<char*>("--warning"),
                       const_cast<char*>("--no-markup"), title.data(), body.data(), nullptr};
  pid_t child = 0;
  if (!SpawnQuietly(program, arguments, child)) return false;
  WaitFor(child);
  return true;
}

}  // namespace

int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT /*style*/) {
  std::string body = text != nullptr ? text : "";
  std::string title = caption != nullptr ? caption : "";
  LastWarningOnConsole = !ShowDialog(body, title);
  if (LastWarningOnConsole) WriteConsoleLine(title + ": " + body);
  return AnsweredOk;
}

// The message comes from deep inside the job and may carry bytes of the
// print file; control bytes are masked so that they cannot move the
// terminal's cursor or colours.
void ReportFailureDetail(const std::string& message) {
  if (!LastWarningOnConsole) return;
  std::string masked = message;
  for (char& c : masked) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  WriteConsoleLine(masked);
}

}  // namespace tolvane
