// The few POSIX calls that the portable unit tests use to make scratch
// directories and to point the program at a system printer profile, for
// the Windows build (mingw-w64 has none of them). Included ahead of every
// unit test source by the build.
#pragma once

#ifdef _WIN32

#include <direct.h>
#include <errno.h>
#include <io.h>
#include <process.h>
#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <string>

// The runtime copies the entry; an empty value removes the variable, which
// is what unsetenv needs (setenv with an empty value is not used here).
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv((std::string(name) + "=" + value).c_str());
}

// A path's c_str() is a wide string on Windows.
inline int setenv(const char* name, const wchar_t* value, int overwrite) {
  return setenv(name, std::filesystem::path(value).string().c_str(), overwrite);
}

inline int unsetenv(const char* name) { return _putenv((std::string(name) + "=").c_str()); }

// Replaces the trailing XXXXXX and makes the directory. A pattern under
// /tmp gets that directory made first: on Windows it lies on the current
// drive and need not exist.
inline char* mkdtemp(char* pattern) {
  size_t length = strlen(pattern);
  if (length < 6 || strcmp(pattern + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  if (strncmp(pattern, "/tmp/", 5) == 0) _mkdir("/tmp");
  static unsigned counter = 0;
  const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 1000; ++attempt) {
    unsigned long long name = static_cast<unsigned long long>(_getpid()) * 1000003ull + ++counter;
    for (size_t i = length - 6; i < length; ++i, name /= 36) pattern[i] = digits[name % 36];
    if (_mkdir(pattern) == 0) return pattern;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

#endif  // _WIN32
