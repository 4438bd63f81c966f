#include "device/linux/output_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

namespace tolvane {

namespace {

constexpr size_t BufferSize = 1 << 16;
bool AnonymousFiles = true;

// Hidden names that must not outlive the process: removed when the file is
// committed or discarded, and at exit for whatever a job left open.
std::vector<std::string>& HiddenNames() {
  static std::vector<std::string>* names = new std::vector<std::string>();
  return *names;
}

void RemoveHiddenNamesAtExit() {
  for (const std::string& name : HiddenNames()) unlink(name.c_str());
  HiddenNames().clear();
}

void Remember(const std::string& name) {
  static bool registered = false;
  if (!registered) {
    std::atexit(RemoveHiddenNamesAtExit);
    registered = true;
  }
  HiddenNames().push_back(name);
}

void Forget(const std::string& name) {
  auto& names = HiddenNames();
  names.erase(std::remove(names.begin(), names.end(), name), names.end());
}

std::string Directory(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A hidden name beside the target that nothing else uses.
std::string HiddenNameFor(const std::string& target) {
  static std::mt19937_64 random{std::random_device{}()};
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".%012llx",
                static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
  std::string directory = Directory(target);
  std::string prefix = directory == "/" ? "/" : directory + "/";
  return prefix + "." + BaseName(target) + ".tolvane" + suffix;
}

mode_t CreationMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int descriptor, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t written = write(descriptor, data, size);
    if (written < 0 && errno == EINTR) continue;
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
bool CopyOut(int descriptor, bool toStandardOutput, const std::string& target) {
  if (toStandardOutput) return CopyFile(descriptor, STDOUT_FILENO);
  int destination = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (destination < 0) return false;
  bool copied = CopyFile(descriptor, destination);
  int error = errno;
  copied = close(destination) == 0 && copied;
  if (!copied && errno == 0) errno = error;
  return copied;
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

}  // namespace

TOutputFile::TOutputFile(TOutputFile&& other) noexcept { *this = std::move(other); }

TOutputFile& TOutputFile::operator=(TOutputFile&& other) noexcept {
  if (this == &other) return *this;
  Discard();
  TargetPath = std::move(other.TargetPath);
  HiddenPath = std::move(other.HiddenPath);
  Error = std::move(other.Error);
  Buffer = std::move(other.Buffer);
  Descriptor = other.Descriptor;
  ToStandardOutput = other.ToStandardOutput;
  other.Descriptor = -1;
  other.HiddenPath.clear();
  return *this;
}

TOutputFile::~TOutputFile() { Discard(); }

void TOutputFile::Fail(const std::string& what, int error) {
  if (Error.empty()) Error = what + " " + TargetPath + ": " + std::strerror(error);
}

bool TOutputFile::Create(const std::string& target, std::string& failure) {
  Discard();
  Error.clear();
  TargetPath = target;
  ToStandardOutput = target == "-";
  Streamed = ToStandardOutput;
  if (target.empty()) {
    failure = "no output file is named";
    return false;
  }
  struct stat info;
  mode_t mode = CreationMode();
  if (!ToStandardOutput && stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      failure = "the output " + target + " is a directory";
      return false;
    }
    // A device, a pipe or a socket is written to, never replaced by a file;
    // what goes there is held back until the end like standard output.
    Streamed = !S_ISREG(info.st_mode);
    if (S_ISREG(info.st_mode)) mode = info.st_mode & 07777;
    // A link is followed: the file it names is the one replaced.
    char resolved[PATH_MAX];
    if (!Streamed && realpath(target.c_str(), resolved)) TargetPath = resolved;
  }
  std::string directory = Directory(TargetPath);
  if (Streamed) {
    const char* temporary = std::getenv("TMPDIR");
    directory = temporary && *temporary ? temporary : "/tmp";
  }
  Descriptor = CreateAnonymous(directory);
  if (Descriptor >= 0) fchmod(Descriptor, mode);
  if (Descriptor < 0 && (errno == ENOENT || errno == EACCES || errno == EROFS ||
                         errno == ENOTDIR || errno == ENOSPC || errno == EDQUOT)) {
    failure = "cannot write in " + directory + ": " + std::strerror(errno);
    return false;
  }
  if (Descriptor < 0) {
    // No nameless files here: a hidden name, removed again whatever happens
    // short of the process being killed.
    std::string name = Streamed ? directory + "/.tolvane-output-XXXXXX"
                                : HiddenNameFor(TargetPath) + "XXXXXX";
    Descriptor = mkostemp(name.data(), O_CLOEXEC);
    if (Descriptor < 0) {
      failure = "cannot write in " + directory + ": " + std::strerror(errno);
      return false;
    }
    fchmod(Descriptor, mode);
    if (Streamed) {
      unlink(name.c_str());  // read back through the descriptor only
    } else {
      HiddenPath = name;
      Remember(name);
    }
  }
  Buffer.reserve(BufferSize);
  return true;
}

bool TOutputFile::Flush() {
  if (!Error.empty()) return false;
  if (Buffer.empty()) return true;
  bool written = Descriptor >= 0 && WriteAll(Descriptor, Buffer.data(), Buffer.size());
  if (!written) Fail("cannot write", Descriptor >= 0 ? errno : EBADF);
  Buffer.clear();
  return written;
}

bool TOutputFile::Write(const void* data, size_t size) {
  if (!Error.empty()) return false;
  if (Descriptor < 0) {
    Fail("cannot write", EBADF);
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (Buffer.size() + size > BufferSize && !Flush()) return false;
  if (size >= BufferSize) {
    if (!WriteAll(Descriptor, bytes, size)) {
      Fail("cannot write", errno);
      return false;
    }
    return true;
  }
  Buffer.insert(Buffer.end(), bytes, bytes + size);
  return true;
}

// Gives a nameless file a hidden name (through /proc, as linkat needs for a
// file that never had one).
bool TOutputFile::LinkHidden(std::string& failure) {
  if (!HiddenPath.empty()) return true;
  std::string source = "/proc/self/fd/" + std::to_string(Descriptor);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = HiddenNameFor(TargetPath);
    if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      HiddenPath = name;
      Remember(name);
      return true;
    }
    if (errno != EEXIST) {
      failure = "cannot name the output " + TargetPath + ": " + std::strerror(errno);
      return false;
    }
  }
  failure = "cannot name the output " + TargetPath + ": no free hidden name";
  return false;
}

bool TOutputFile::Park(std::string& failure) {
  if (Streamed || Descriptor < 0) return true;
  if (!Flush()) {
    failure = Error;
    return false;
  }
  if (fdatasync(Descriptor) != 0) {
    failure = "cannot write " + TargetPath + ": " + std::strerror(errno);
    return false;
  }
  if (!LinkHidden(failure)) return false;
  close(Descriptor);
  Descriptor = -1;
  return true;
}

bool TOutputFile::Commit(std::string& failure) {
  if (!Flush()) {
    failure = Error;
    Discard();
    return false;
  }
  bool done = false;
  if (Streamed) {
    done = CopyOut(Descriptor, ToStandardOutput, TargetPath);
    if (!done) failure = "cannot write to " + (ToStandardOutput ? "standard output" : TargetPath) +
                         ": " + std::strerror(errno);
  } else if (Descriptor >= 0 && fdatasync(Descriptor) != 0) {
    failure = "cannot write " + TargetPath + ": " + std::strerror(errno);
  } else if (LinkHidden(failure)) {
    done = rename(HiddenPath.c_str(), TargetPath.c_str()) == 0;
    if (done) {
      Forget(HiddenPath);
      HiddenPath.clear();
    } else {
      failure = "cannot put the output in place at " + TargetPath + ": " + std::strerror(errno);
    }
  }
  Discard();
  return done;
}

void TOutputFile::Discard() {
  if (Descriptor >= 0) close(Descriptor);
  Descriptor = -1;
  if (!HiddenPath.empty()) {
    unlink(HiddenPath.c_str());
    Forget(HiddenPath);
    HiddenPath.clear();
  }
  Buffer.clear();
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

size_t HiddenOutputFileCount() { return HiddenNames().size(); }

}  // namespace tolvane
