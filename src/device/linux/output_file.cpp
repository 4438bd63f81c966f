#include "device/linux/output_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/linux/hidden_files.h"
#include "device/linux/interrupted_commits.h"
#include "os/win32.h"

namespace tolvane {

namespace {

constexpr size_t BufferSize = 1 << 16;
bool AnonymousFiles = true;
// A device or pipe that takes no data for this long fails its output.
int StallLimitMs = 60000;

mode_t CreationMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Waits until a descriptor that would block takes data again, for as long
// as a device or pipe may stall.
bool WaitUntilWritable(int descriptor) {
  struct pollfd ready = {descriptor, POLLOUT, 0};
  int answer;
  do answer = poll(&ready, 1, StallLimitMs);
  while (answer < 0 && errno == EINTR);
  if (answer == 0) errno = ETIMEDOUT;
  return answer > 0;
}

bool WriteAll(int descriptor, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN && WaitUntilWritable(descriptor)) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool CopyFile(int descriptor, int destination) {
  if (lseek(descriptor, 0, SEEK_SET) != 0) return false;
  std::vector<uint8_t> chunk(BufferSize);
  for (;;) {
    ssize_t got = read(descriptor, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    if (!WriteAll(destination, chunk.data(), static_cast<size_t>(got))) return false;
  }
}

// The held-back contents of a streamed output, to standard output or into
// the device (or pipe) at the target.
bool CopyOut(TOutputFile& file) {
  if (file.ToStandardOutput) return CopyFile(file.Descriptor, STDOUT_FILENO);
  bool copied = CopyFile(file.Descriptor, file.Sink);
  int error = errno;
  bool closed = close(file.Sink) == 0;
  file.Sink = -1;
  if (copied) return closed;  // errno tells why the close failed
  errno = error;
  return false;
}

// A file with no name in directory, or -1.
int CreateAnonymous(const std::string& directory) {
  if (!AnonymousFiles) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, CreationMode());
}

// The conversion of a sheet pattern, once found.
struct TConversion {
  size_t Start = std::string::npos;
  size_t End = 0;
  std::string Format;  // the conversion rebuilt for snprintf
};

// Reads "%[flags][width][.precision](d|i|u)" at pattern[at]; false for any
// other conversion. Widths and precisions have two digits at most.
bool ReadConversion(const std::string& pattern, size_t at, TConversion& conversion) {
  size_t i = at + 1;
  std::string format = "%";
  while (i < pattern.size() && std::strchr("-+ 0", pattern[i])) format += pattern[i++];
  auto readNumber = [&]() {
    size_t digits = 0;
    while (i < pattern.size() && pattern[i] >= '0' && pattern[i] <= '9') {
      format += pattern[i++];
      if (++digits > 2) return false;
    }
    return true;
  };
  if (!readNumber()) return false;
  if (i < pattern.size() && pattern[i] == '.') {
    format += pattern[i++];
    if (!readNumber()) return false;
  }
  if (i >= pattern.size() || !std::strchr("diu", pattern[i])) return false;
  format += 'd';
  conversion = TConversion{at, i + 1, format};
  return true;
}

// Finds the one integer conversion; false for a pattern that has a
// conversion of another kind, or more than one.
bool FindConversion(const std::string& pattern, TConversion& conversion) {
  conversion = TConversion{};
  for (size_t at = 0; at < pattern.size(); ++at) {
    if (pattern[at] != '%') continue;
    if (at + 1 < pattern.size() && pattern[at + 1] == '%') {
      ++at;
      continue;
    }
    if (conversion.Start != std::string::npos) return false;
    TConversion found;
    if (!ReadConversion(pattern, at, found)) return false;
    conversion = found;
    at = found.End - 1;
  }
  return true;
}

// A literal part of a pattern, its %% turned into %.
std::string Literal(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    result += text[i];
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
  }
  return result;
}

void FailOutputFile(TOutputFile& file, const std::string& what, int error) {
  if (file.Error.empty()) file.Error = what + " " + file.TargetPath + ": " + std::strerror(error);
}

// A link that names no file yet: the name at the end of its chain is the
// one created.
std::string LinkedName(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) break;
    std::string linked(PATH_MAX, '\0');
    ssize_t length = readlink(current.c_str(), linked.data(), linked.size());
    if (length <= 0) break;
    linked.resize(static_cast<size_t>(length));
    current = linked[0] == '/' ? linked : PathDirectory(current) + "/" + linked;
  }
  return current;
}

// The device or pipe is opened now, so that one that cannot take the
// document refuses the printer: a pipe without a reader would otherwise
// keep the job waiting at its end. It is written without blocking, so a
// reader that stops reading fails the job in bounded time.
bool OpenSink(TOutputFile& file, std::string& failure) {
  // A reader that goes away fails the job rather than killing the process.
  std::signal(SIGPIPE, SIG_IGN);
  file.Sink = open(file.TargetPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file.Sink >= 0) return true;
  failure = errno == ENXIO ? "the output " + file.TargetPath + " has no reader"
                           : "cannot write to " + file.TargetPath + ": " + std::strerror(errno);
  return false;
}

// Looks at what is at the target already. False, with a reason, for a
// directory. A device, a pipe or a socket is written to, never replaced by a
// file; what goes there is held back until the end like standard output. A
// regular file's permissions are kept, and a link is followed: the file it
// names is the one replaced.
bool InspectTarget(TOutputFile& file, mode_t& mode, std::string& failure) {
  struct stat info;
  if (file.ToStandardOutput) return true;
  if (stat(file.TargetPath.c_str(), &info) != 0) {
    if (errno == ENOENT) file.TargetPath = LinkedName(file.TargetPath);
    return true;
  }
  if (S_ISDIR(info.st_mode)) {
    failure = "the output " + file.TargetPath + " is a directory";
    return false;
  }
  file.Streamed = !S_ISREG(info.st_mode);
  if (file.Streamed) return OpenSink(file, failure);
  mode = info.st_mode & 07777;
  char resolved[PATH_MAX];
  if (realpath(file.TargetPath.c_str(), resolved)) file.TargetPath = resolved;
  return true;
}

// Where there are no nameless files: a hidden name, removed again whatever
// happens short of the process being killed.
bool CreateHidden(TOutputFile& file, const std::string& directory, mode_t mode,
                  std::string& failure) {
  std::string name = file.Streamed ? directory + "/.tolvane-output-XXXXXX"
                                   : HiddenNameFor(file.TargetPath) + "XXXXXX";
  // Made and remembered with no signal in between, so none can leave it.
  HoldTermination();
  file.Descriptor = mkostemp(name.data(), O_CLOEXEC);
  if (file.Descriptor < 0) {
    failure = "cannot write in " + directory + ": " + std::strerror(errno);
    ReleaseTermination();
    return false;
  }
  if (file.Streamed) {
    unlink(name.c_str());  // read back through the descriptor only
  } else {
    file.HiddenPath = name;
    RememberHiddenFile(name);
  }
  ReleaseTermination();
  fchmod(file.Descriptor, mode);
  return true;
}

bool FlushOutputFile(TOutputFile& file) {
  if (!file.Error.empty()) return false;
  if (file.Buffer.empty()) return true;
  bool written =
      file.Descriptor >= 0 && WriteAll(file.Descriptor, file.Buffer.data(), file.Buffer.size());
  if (!written) FailOutputFile(file, "cannot write", file.Descriptor >= 0 ? errno : EBADF);
  file.Buffer.clear();
  return written;
}

// Gives a nameless file a hidden name (through /proc, as linkat needs for a
// file that never had one).
bool LinkHidden(TOutputFile& file, std::string& failure) {
  if (!file.HiddenPath.empty()) return true;
  std::string source = "/proc/self/fd/" + std::to_string(file.Descriptor);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = HiddenNameFor(file.TargetPath);
    HoldTermination();
    bool linked = linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    if (linked) RememberHiddenFile(name);
    ReleaseTermination();
    if (linked) {
      file.HiddenPath = name;
      return true;
    }
    if (errno != EEXIST) {
      failure = "cannot name the output " + file.TargetPath + ": " + std::strerror(errno);
      return false;
    }
  }
  failure = "cannot name the output " + file.TargetPath + ": no free hidden name";
  return false;
}

// Streamed contents go out to where they belong; a file is synced and
// renamed over its target.
bool PutInPlace(TOutputFile& file, std::string& failure) {
  if (file.Streamed) {
    if (CopyOut(file)) return true;
    failure = "cannot write to " +
              (file.ToStandardOutput ? std::string("standard output") : file.TargetPath) + ": " +
              std::strerror(errno);
    return false;
  }
  if (file.Descriptor >= 0 && fdatasync(file.Descriptor) != 0) {
    failure = "cannot write " + file.TargetPath + ": " + std::strerror(errno);
    return false;
  }
  return LinkHidden(file, failure) && RenameParkedFile(file, failure);
}

void DiscardGuardedFile(TOutputFile* file) { DiscardOutputFile(*file); }

// No printer: nothing is kept, and the caller says why with the printer's
// name (DiagnoseRefusedOutput).
bool Refuse(TOutputFile& file, const std::string& failure) {
  DiscardOutputFile(file);
  return false;
}

}  // namespace

void DiagnoseRefusedOutput(const std::string& device, const std::string& driver,
                           const std::string& target, const std::string& failure) {
  Diagnose("printer '" + device + "' (driver " + driver + ", output '" + target + "'): " + failure);
}

bool CreateOutputFile(TOutputFile& file, const std::string& target, std::string& failure) {
  DiscardOutputFile(file);
  file.Error.clear();
  file.TargetPath = target;
  file.ToStandardOutput = target == "-";
  file.Streamed = file.ToStandardOutput;
  if (target.empty()) return Refuse(file, failure = "no output file is named");
  mode_t mode = CreationMode();
  if (!InspectTarget(file, mode, failure)) return Refuse(file, failure);
  std::string directory = PathDirectory(file.TargetPath);
  if (file.Streamed) {
    const char* temporary = std::getenv("TMPDIR");
    directory = temporary && *temporary ? temporary : "/tmp";
  } else {
    TidyOutputFolder(directory);
  }
  file.Descriptor = CreateAnonymous(directory);
  if (file.Descriptor >= 0) fchmod(file.Descriptor, mode);
  if (file.Descriptor < 0 && (errno == ENOENT || errno == EACCES || errno == EROFS ||
                              errno == ENOTDIR || errno == ENOSPC || errno == EDQUOT)) {
    failure = "cannot write in " + directory + ": " + std::strerror(errno);
    return Refuse(file, failure);
  }
  if (file.Descriptor < 0 && !CreateHidden(file, directory, mode, failure))
    return Refuse(file, failure);
  file.Buffer.reserve(BufferSize);
  return true;
}

bool WriteOutputFile(TOutputFile& file, const void* data, size_t size) {
  if (!file.Error.empty()) return false;
  if (file.Descriptor < 0) {
    FailOutputFile(file, "cannot write", EBADF);
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (file.Buffer.size() + size > BufferSize && !FlushOutputFile(file)) return false;
  if (size >= BufferSize) {
    if (!WriteAll(file.Descriptor, bytes, size)) {
      FailOutputFile(file, "cannot write", errno);
      return false;
    }
    return true;
  }
  file.Buffer.insert(file.Buffer.end(), bytes, bytes + size);
  return true;
}

bool SettleOutputFile(TOutputFile& file, std::string& failure) {
  bool written = FlushOutputFile(file);
  if (!written) failure = file.Error;
  std::vector<uint8_t>().swap(file.Buffer);
  return written;
}

bool ParkOutputFile(TOutputFile& file, std::string& failure) {
  if (file.Streamed || file.Descriptor < 0) return true;
  if (!FlushOutputFile(file)) {
    failure = file.Error;
    return false;
  }
  if (fdatasync(file.Descriptor) != 0) {
    failure = "cannot write " + file.TargetPath + ": " + std::strerror(errno);
    return false;
  }
  if (!LinkHidden(file, failure)) return false;
  close(file.Descriptor);
  file.Descriptor = -1;
  return true;
}

bool RenameParkedFile(TOutputFile& file, std::string& failure) {
  if (rename(file.HiddenPath.c_str(), file.TargetPath.c_str()) != 0) {
    failure = "cannot put the output in place at " + file.TargetPath + ": " + std::strerror(errno);
    return false;
  }
  ForgetHiddenFile(file.HiddenPath);
  file.HiddenPath.clear();
  return true;
}

bool CommitOutputFile(TOutputFile& file, std::string& failure) {
  if (!FlushOutputFile(file)) {
    failure = file.Error;
    DiscardOutputFile(file);
    return false;
  }
  bool done = PutInPlace(file, failure);
  DiscardOutputFile(file);
  return done;
}

void DiscardOutputFile(TOutputFile& file) {
  if (file.Descriptor >= 0) close(file.Descriptor);
  file.Descriptor = -1;
  if (file.Sink >= 0) close(file.Sink);
  file.Sink = -1;
  if (!file.HiddenPath.empty()) {
    unlink(file.HiddenPath.c_str());
    ForgetHiddenFile(file.HiddenPath);
    file.HiddenPath.clear();
  }
  file.Buffer.clear();
}

TOutputFileGuard GuardOutputFile(TOutputFile& file) {
  return TOutputFileGuard(&file, DiscardGuardedFile);
}

bool IsSheetFilePattern(const std::string& pattern) {
  TConversion conversion;
  return !pattern.empty() && pattern != "-" && FindConversion(pattern, conversion);
}

bool SheetFileName(const std::string& pattern, int number, std::string& name) {
  TConversion conversion;
  if (!IsSheetFilePattern(pattern) || !FindConversion(pattern, conversion)) return false;
  if (conversion.Start != std::string::npos) {
    char digits[128];
    std::snprintf(digits, sizeof digits, conversion.Format.c_str(), number);
    name = Literal(pattern.substr(0, conversion.Start)) + digits +
           Literal(pattern.substr(conversion.End));
    return true;
  }
  std::string literal = Literal(pattern);
  size_t slash = literal.rfind('/');
  size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = literal.rfind('.');
  // A leading dot names a hidden file, not an extension.
  if (dot == std::string::npos || dot <= nameStart) dot = literal.size();
  name = literal.substr(0, dot) + "-" + std::to_string(number) + literal.substr(dot);
  return true;
}

size_t OpenOutputFileLimit() {
  static size_t limit = 0;
  if (limit) return limit;
  struct rlimit files;
  rlim_t usable = 1024;
  if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
    if (files.rlim_cur < files.rlim_max) {
      rlim_t raised = files.rlim_max == RLIM_INFINITY ? rlim_t{1} << 20 : files.rlim_max;
      struct rlimit wanted = {raised, files.rlim_max};
      if (setrlimit(RLIMIT_NOFILE, &wanted) == 0) files.rlim_cur = raised;
    }
    usable = files.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : files.rlim_cur;
  }
  limit = usable > 128 ? static_cast<size_t>(usable - 64) : 16;
  return limit;
}

void SetAnonymousOutputFiles(bool enabled) { AnonymousFiles = enabled; }

size_t HiddenOutputFileCount() { return HiddenFileCount(); }

void SetOutputStallLimit(int milliseconds) { StallLimitMs = milliseconds; }

}  // namespace tolvane
