// The job log's file on Linux: where it lives, and one locked append.
// Parallel jobs take turns on a lock of the file itself, so that the size
// check, the rotation and the append of one job are never split by another.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "os/win32.h"

namespace tolvane {

namespace {

// A job that finds the log locked this long gives up its line rather than
// wait on whatever holds it.
constexpr int LockTries = 200;
constexpr std::chrono::milliseconds LockPause{10};

std::string Why(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool LockWithin(int fd) {
  for (int tries = 0; tries < LockTries; tries++) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    std::this_thread::sleep_for(LockPause);
  }
  errno = EWOULDBLOCK;
  return false;
}

// Another job may have moved the file aside while this one waited for the
// lock; the line then belongs in the new file at the name.
bool StillAtName(int fd, const std::string& path) {
  struct stat open, named;
  return fstat(fd, &open) == 0 && stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

// Opens the file at the name and holds its lock; -1 with why on failure.
int OpenLocked(const std::string& path, std::string& why) {
  for (int attempt = 0; attempt < 8; attempt++) {
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
      why = Why("cannot open it");
      return -1;
    }
    if (!LockWithin(fd)) {
      why = Why("cannot lock it");
      close(fd);
      return -1;
    }
    if (StillAtName(fd, path)) return fd;
    close(fd);
  }
  why = "it keeps being moved away";
  return -1;
}

bool WriteWhole(int fd, const std::string& line) {
  // One write of the whole line: readers and other writers never see half.
  ssize_t written = write(fd, line.data(), line.size());
  return written == static_cast<ssize_t>(line.size());
}

}  // namespace

std::string DefaultJobLogPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/tolvane/tolvane.log";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/')
    return std::string(home) + "/.local/state/tolvane/tolvane.log";
  return std::string();
}

std::string DefaultJobLogPlaces() { return "XDG_STATE_HOME or HOME"; }

bool AppendJobLogLine(const std::string& path, const std::string& line, uint64_t rotateAt,
                      std::string& why) {
  int fd = OpenLocked(path, why);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) == 0 && static_cast<uint64_t>(info.st_size) >= rotateAt) {
    std::string old = path + ".1";
    if (rename(path.c_str(), old.c_str()) != 0) {
      why = Why(("cannot rename it to " + old).c_str());
      close(fd);
      return false;
    }
    // The lock stays on the old file until the new one is ours: a job that
    // waited on it finds the name moved and opens the new file.
    int fresh = OpenLocked(path, why);
    close(fd);
    if (fresh < 0) return false;
    fd = fresh;
  }
  bool ok = WriteWhole(fd, line + "\n");
  if (!ok) why = Why("cannot write to it");
  close(fd);
  return ok;
}

bool CreateDirectoriesFor(const std::string& file, std::string& why) {
  for (size_t slash = file.find('/', 1); slash != std::string::npos;
       slash = file.find('/', slash + 1)) {
    std::string directory = file.substr(0, slash);
    if (mkdir(directory.c_str(), 0755) != 0 && errno != EEXIST) {
      why = Why(("cannot make the directory " + directory).c_str());
      return false;
    }
  }
  return true;
}

bool LocalAndUniversalTime(std::time_t when, std::tm& local, std::tm& universal) {
  return localtime_r(&when, &local) != nullptr && gmtime_r(&when, &universal) != nullptr;
}

std::string FullPathName(const std::string& name) {
  if (name.empty() || name[0] == '/') return name;
  char directory[4096];
  if (getcwd(directory, sizeof directory) == nullptr) return name;
  return std::string(directory) + "/" + name;
}

}  // namespace tolvane
