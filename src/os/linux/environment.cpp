// What the program takes from its surroundings: the user's locale (read
// once, after which the whole program runs in the C locale so that no number
// is ever formatted the user's way by accident), its own path, its arguments
// and its input file.
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

#include "os/linux/console_charset.h"
#include "os/win32.h"

namespace tolvane {

namespace {

bool PlatformInitialized = false;
char UserDecimalSeparator = '.';
bool CharsetKnown = false;
std::string UserCharset;

char DecimalSeparatorOfLocale() {
  const char* point = std::localeconv()->decimal_point;
  if (point == nullptr || point[0] == '\0' || point[1] != '\0') return '.';
  return point[0];
}

void EnsureInitialized() {
  if (!PlatformInitialized) InitializePlatform();
}

}  // namespace

// Read again on every call, so that a caller who changed the environment
// (a test) gets what it now says. Only the categories asked about are
// loaded: each is a file of the system's, and reading them all took a
// noticeable part of a short job.
void InitializePlatform() {
  std::setlocale(LC_NUMERIC, "");
  UserDecimalSeparator = DecimalSeparatorOfLocale();
  std::setlocale(LC_NUMERIC, "C");
  CharsetKnown = false;
  PlatformInitialized = true;
}

char GetUserDecimalSeparator() {
  EnsureInitialized();
  return UserDecimalSeparator;
}

// Asked only when a warning goes to the console.
std::string ConsoleCharset() {
  EnsureInitialized();
  if (CharsetKnown) return UserCharset;
  std::setlocale(LC_CTYPE, "");
  const char* codeset = nl_langinfo(CODESET);
  UserCharset = codeset != nullptr ? codeset : "";
  std::setlocale(LC_CTYPE, "C");
  CharsetKnown = true;
  return UserCharset;
}

// readlink does not say whether it cut the path, so the buffer grows until
// the answer leaves room to spare.
std::string GetProgramPath() {
  std::string path(256, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < path.size()) {
      path.resize(static_cast<size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

char PathSeparator() {
  return '/';
}

// An empty argument is skipped, as an empty quoted argument is on Windows.
std::vector<std::string> GetArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int at = 1; at < argc && argv != nullptr && argv[at] != nullptr; ++at) {
    if (argv[at][0] != '\0') arguments.emplace_back(argv[at]);
  }
  return arguments;
}

// Linux cannot keep writers out of a file, so sharing is left to the host;
// what is refused here is a name that is no file to read.
std::FILE* OpenForSharedRead(const char* name) {
  if (name == nullptr) return nullptr;
  int fd = open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

bool IsRegularFile(const char* name) {
  struct stat info;
  return name != nullptr && stat(name, &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace tolvane
