// Loaded into the program with LD_PRELOAD, it makes the file system fail
// where a test asks, through the environment:
//   TOLVANE_FAULT_RENAME=TEXT   renames onto a name holding TEXT fail (EIO)
//   TOLVANE_FAULT_NO_TMPFILE=1  nameless files cannot be made (EOPNOTSUPP),
//                               as on NFS and SMB mounts
//   TOLVANE_FAULT_STOP_AT_STEP=N the process stops itself (SIGSTOP) before
//                               the Nth step of a commit: a rename of a
//                               hidden file or the removal of a record;
//                               the test then kills it where it stands
// Everything else goes to the C library as it is.
#include <dlfcn.h>
#include <fcntl.h>

#include <signal.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

template <typename T>
T Next(const char* name) {
  return reinterpret_cast<T>(dlsym(RTLD_NEXT, name));
}

bool RenameFails(const char* target) {
  const char* text = std::getenv("TOLVANE_FAULT_RENAME");
  if (!text || !*text || !target || !std::strstr(target, text)) return false;
  errno = EIO;
  return true;
}

bool TmpfileFails(int flags) {
  if ((flags & O_TMPFILE) != O_TMPFILE || !std::getenv("TOLVANE_FAULT_NO_TMPFILE")) return false;
  errno = EOPNOTSUPP;
  return true;
}

// A step of a commit comes: stop before the one asked for.
void CountStep(const char* name, const char* mark) {
  static int steps = 0;
  const char* stop = std::getenv("TOLVANE_FAULT_STOP_AT_STEP");
  if (!stop || !name || !std::strstr(name, mark)) return;
  if (++steps == std::atoi(stop)) raise(SIGSTOP);
}

using TOpen = int (*)(const char*, int, ...);

int OpenThrough(const char* name, const char* path, int flags, va_list arguments) {
  if (TmpfileFails(flags)) return -1;
  mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(arguments, mode_t) : 0;
  return Next<TOpen>(name)(path, flags, mode);
}

}  // namespace

extern "C" {

int rename(const char* from, const char* to) {
  CountStep(from, ".tolvane");
  if (RenameFails(to)) return -1;
  return Next<int (*)(const char*, const char*)>("rename")(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
  CountStep(from, ".tolvane");
  if (RenameFails(to)) return -1;
  return Next<int (*)(int, const char*, int, const char*)>("renameat")(fromDir, from, toDir, to);
}

int unlinkat(int dir, const char* name, int flags) {
  CountStep(name, ".tolvane-commit.");
  return Next<int (*)(int, const char*, int)>("unlinkat")(dir, name, flags);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
  CountStep(from, ".tolvane");
  if (RenameFails(to)) return -1;
  return Next<int (*)(int, const char*, int, const char*, unsigned int)>("renameat2")(
      fromDir, from, toDir, to, flags);
}

int open(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int result = OpenThrough("open", path, flags, arguments);
  va_end(arguments);
  return result;
}

int open64(const char* path, int flags, ...) {
  va_list arguments;
  va_start(arguments, flags);
  int result = OpenThrough("open64", path, flags, arguments);
  va_end(arguments);
  return result;
}

}  // extern "C"
