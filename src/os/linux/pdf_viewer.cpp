// Previews on Linux: a PDF in the user's temporary folder, shown by the
// desktop's PDF viewer through xdg-open, in a graphical session only.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "os/linux/find_program.h"
#include "os/win32.h"

extern char** environ;

namespace tolvane {

namespace {

const char PreviewPrefix[] = "tolvane-preview-";
const char PreviewSuffix[] = ".pdf";
constexpr std::time_t PreviewLifetime = 24 * 60 * 60;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

bool IsPreviewName(const std::string& name) {
  size_t prefix = sizeof PreviewPrefix - 1, suffix = sizeof PreviewSuffix - 1;
  return name.size() > prefix + suffix && name.compare(0, prefix, PreviewPrefix) == 0 &&
         name.compare(name.size() - suffix, suffix, PreviewSuffix) == 0;
}

// A viewer in a session of its own, its standard streams leading nowhere,
// outlives the terminal and the process of the job.
bool SpawnDetached(const std::string& program, char** arguments) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  pid_t child = 0;
  bool ok = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0) == 0 &&
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID) == 0 &&
            posix_spawn(&child, program.c_str(), &actions, &attributes, arguments, environ) == 0;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return ok;
}

// What xdg-mime names as the desktop's program for PDF documents; empty
// when it names none.
std::string DefaultPdfApplication(const std::string& xdgMime) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return std::string();
  char* arguments[] = {const_cast<char*>(xdgMime.c_str()), const_cast<char*>("query"),
                       const_cast<char*>("default"), const_cast<char*>("application/pdf"), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  bool spawned = posix_spawn(&child, xdgMime.c_str(), &actions, nullptr, arguments, environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  std::string answer;
  char chunk[256];
  for (ssize_t got; spawned && (got = read(pipeFds[0], chunk, sizeof chunk)) != 0;) {
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) break;
    if (answer.size() < 4096) answer.append(chunk, static_cast<size_t>(got));
  }
  close(pipeFds[0]);
  int status = 0;
  while (spawned && waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == ' ')) answer.pop_back();
  return answer;
}

}  // namespace

std::string PreviewFolder() {
  const char* temporary = std::getenv("TMPDIR");
  std::string folder = temporary != nullptr && temporary[0] == '/' ? temporary : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string NewPreviewPath(const std::string& folder) {
  return folder + "/" + PreviewPrefix + std::to_string(std::time(nullptr)) + "-" +
         std::to_string(getpid()) + PreviewSuffix;
}

// Only the user's own previews, and only plain files, are removed.
void RemoveOldPreviews(const std::string& folder) {
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return;
  std::time_t oldest = std::time(nullptr) - PreviewLifetime;
  while (dirent* entry = readdir(directory)) {
    std::string name = entry->d_name;
    if (!IsPreviewName(name)) continue;
    struct stat info;
    if (fstatat(dirfd(directory), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode) && info.st_uid == getuid() && info.st_mtime < oldest)
      unlinkat(dirfd(directory), name.c_str(), 0);
  }
  closedir(directory);
}

bool PdfViewerAvailable(std::string& why) {
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
    why = "there is no graphical session (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return false;
  }
  if (FindOnPath("xdg-open").empty()) {
    why = "xdg-open is not on PATH (Debian's package xdg-utils)";
    return false;
  }
  std::string xdgMime = FindOnPath("xdg-mime");
  if (!xdgMime.empty() && DefaultPdfApplication(xdgMime).empty()) {
    why = "no PDF viewer is set up (xdg-mime query default application/pdf names none)";
    return false;
  }
  return true;
}

// The viewer is started and left to itself: the job ends without waiting.
bool OpenInPdfViewer(const std::string& path, std::string& why) {
  std::string program = FindOnPath("xdg-open");
  char* arguments[] = {program.data(), const_cast<char*>(path.c_str()), nullptr};
  if (program.empty() || !SpawnDetached(program, arguments)) {
    why = "xdg-open cannot be started: " + std::string(std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace tolvane
