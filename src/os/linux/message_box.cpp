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
#include "os/linux/find_program.h"
#include "os/win32.h"

extern char** environ;

namespace tolvane {

namespace {

const int AnsweredOk = 1;  // IDOK: the only button the warning has

// Whether the last warning ended up on standard error, where the failure's
// own message may follow it.
bool LastWarningOnConsole = false;

// What the next warning shows below its text.
std::string PendingDetail;

std::string MaskControls(std::string text) {
  for (char& c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  return text;
}

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

int WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// Standard output goes nowhere; standard error comes back through
// errorPipe, which tells a dialog that could not open from one closed.
bool SpawnQuietly(const std::string& program, char** arguments, pid_t& child, int errorPipe) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  bool ok = posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, errorPipe, 2) == 0 &&
            posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  return ok;
}

// Reads what the child says on standard error, to its end.
std::string Drain(int fd) {
  std::string text;
  char chunk[512];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (text.size() < 4096) text.append(chunk, static_cast<size_t>(got));
  }
  return text;
}

// zenity answers 0 for OK and 1 for a dialog closed without it; a display
// that cannot be opened also gives 1, but with a complaint on standard
// error. Anything else, or a signal, means no one saw the warning.
bool DialogWasShown(int status, const std::string& complaint) {
  if (!WIFEXITED(status)) return false;
  if (WEXITSTATUS(status) == 0) return true;
  return WEXITSTATUS(status) == 1 && complaint.empty();
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
  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC) != 0) return false;
  pid_t child = 0;
  bool spawned = SpawnQuietly(program, arguments, child, errorPipe[1]);
  close(errorPipe[1]);
  std::string complaint = spawned ? Drain(errorPipe[0]) : "";
  close(errorPipe[0]);
  if (!spawned) return false;
  return DialogWasShown(WaitFor(child), complaint);
}

}  // namespace

// The detail is the failure's own text, not a message of code page 1250:
// it stays as it is, with control bytes masked.
int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT /*style*/) {
  std::string body = text != nullptr ? text : "";
  std::string title = caption != nullptr ? caption : "";
  std::string detail = MaskControls(PendingDetail);
  PendingDetail.clear();
  std::string shown = detail.empty() ? body : body + "\n\n" + detail;
  LastWarningOnConsole = !ShowDialog(shown, title);
  NoteWarningShown(title, detail);
  if (LastWarningOnConsole) {
    WriteConsoleLine(title + ": " + body);
    if (!detail.empty()) WriteConsoleLine(detail);
  }
  return AnsweredOk;
}

void SetWarningDetail(const std::string& detail) { PendingDetail = detail; }

// The message comes from deep inside the job and may carry bytes of the
// print file; control bytes are masked so that they cannot move the
// terminal's cursor or colours.
void ReportFailureDetail(const std::string& message) {
  if (LastWarningOnConsole) WriteConsoleLine(MaskControls(message));
}

}  // namespace tolvane
