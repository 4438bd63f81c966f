// The job log's file on Windows: where it lives, and one locked append.
// Parallel jobs take turns on a byte-range lock far beyond any end of the
// file, so that the lock never stands in the way of the writes themselves.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

#include "os/win32.h"
#include "os/windows/system_error.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

constexpr int LockTries = 200;
constexpr std::chrono::milliseconds LockPause{10};
constexpr ::DWORD LockOffsetHigh = 0x7FFFFFFF;

std::string Why(const char* what) { return std::string(what) + ": " + SystemErrorText(::GetLastError()); }

::HANDLE OpenShared(const std::string& path) {
  return ::CreateFileA(path.c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool LockWithin(::HANDLE file) {
  for (int tries = 0; tries < LockTries; tries++) {
    ::OVERLAPPED place{};
    place.OffsetHigh = LockOffsetHigh;
    if (::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &place))
      return true;
    if (::GetLastError() != ERROR_LOCK_VIOLATION) return false;
    std::this_thread::sleep_for(LockPause);
  }
  ::SetLastError(ERROR_LOCK_VIOLATION);
  return false;
}

bool SameFile(::HANDLE a, ::HANDLE b) {
  ::BY_HANDLE_FILE_INFORMATION first, second;
  return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// Another job may have moved the file aside while this one waited for the
// lock; the line then belongs in the new file at the name.
bool StillAtName(::HANDLE file, const std::string& path) {
  ::HANDLE named = ::CreateFileA(path.c_str(), 0,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (named == INVALID_HANDLE_VALUE) return false;
  bool same = SameFile(file, named);
  ::CloseHandle(named);
  return same;
}

::HANDLE OpenLocked(const std::string& path, std::string& why) {
  for (int attempt = 0; attempt < 8; attempt++) {
    ::HANDLE file = OpenShared(path);
    if (file == INVALID_HANDLE_VALUE) {
      why = Why("cannot open it");
      return file;
    }
    if (!LockWithin(file)) {
      why = Why("cannot lock it");
      ::CloseHandle(file);
      return INVALID_HANDLE_VALUE;
    }
    if (StillAtName(file, path)) return file;
    ::CloseHandle(file);
  }
  why = "it keeps being moved away";
  return INVALID_HANDLE_VALUE;
}

// One write of the whole line at the end, under the lock.
bool WriteAtEnd(::HANDLE file, const std::string& text) {
  ::LARGE_INTEGER none{};
  if (!::SetFilePointerEx(file, none, nullptr, FILE_END)) return false;
  ::DWORD written = 0;
  return ::WriteFile(file, text.data(), static_cast<::DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

uint64_t FileSize(::HANDLE file) {
  ::LARGE_INTEGER size{};
  return ::GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

}  // namespace

std::string DefaultJobLogPath() {
  const char* local = std::getenv("LOCALAPPDATA");
  if (local != nullptr && local[0] != '\0') return std::string(local) + "\\Tolvane\\tolvane.log";
  const char* profile = std::getenv("USERPROFILE");
  if (profile != nullptr && profile[0] != '\0')
    return std::string(profile) + "\\AppData\\Local\\Tolvane\\tolvane.log";
  return std::string();
}

std::string DefaultJobLogPlaces() { return "LOCALAPPDATA or USERPROFILE"; }

bool AppendJobLogLine(const std::string& path, const std::string& line, uint64_t rotateAt,
                      std::string& why) {
  ::HANDLE file = OpenLocked(path, why);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (FileSize(file) >= rotateAt) {
    std::string old = path + ".1";
    if (!::MoveFileExA(path.c_str(), old.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      why = Why(("cannot rename it to " + old).c_str());
      ::CloseHandle(file);
      return false;
    }
    ::HANDLE fresh = OpenLocked(path, why);
    ::CloseHandle(file);
    if (fresh == INVALID_HANDLE_VALUE) return false;
    file = fresh;
  }
  bool ok = WriteAtEnd(file, line + "\r\n");
  if (!ok) why = Why("cannot write to it");
  ::CloseHandle(file);
  return ok;
}

static bool IsDirectory(const std::string& path) {
  ::DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A drive or a share (\\server\share) is there or not; the directories
// below it are made one by one.
bool CreateDirectoriesFor(const std::string& file, std::string& why) {
  size_t from = 0;
  if (file.rfind("\\\\", 0) == 0) {
    from = file.find('\\', 2);
    if (from != std::string::npos) from = file.find('\\', from + 1);
    if (from == std::string::npos) return true;
  }
  for (size_t slash = file.find_first_of("\\/", from + 1); slash != std::string::npos;
       slash = file.find_first_of("\\/", slash + 1)) {
    std::string directory = file.substr(0, slash);
    if (directory.empty() || directory.back() == ':' || IsDirectory(directory)) continue;
    if (!::CreateDirectoryA(directory.c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS) {
      why = Why(("cannot make the directory " + directory).c_str());
      return false;
    }
  }
  return true;
}

bool LocalAndUniversalTime(std::time_t when, std::tm& local, std::tm& universal) {
  return localtime_s(&local, &when) == 0 && gmtime_s(&universal, &when) == 0;
}

std::string FullPathName(const std::string& name) {
  if (name.empty()) return name;
  char full[MAX_PATH * 4];
  ::DWORD length = ::GetFullPathNameA(name.c_str(), sizeof full, full, nullptr);
  if (length == 0 || length >= sizeof full) return name;
  return std::string(full, length);
}

}  // namespace tolvane
