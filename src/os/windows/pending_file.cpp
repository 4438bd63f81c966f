#include "os/windows/pending_file.h"

#include "os/win32.h"
#include "os/windows/system_error.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

std::string LastError() { return SystemErrorText(::GetLastError()); }

std::string DirectoryOf(const std::string& path) {
  size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  return separator == 0 || path[separator - 1] == ':' ? path.substr(0, separator + 1)
                                                       : path.substr(0, separator);
}

std::string TemporaryFolder() {
  char folder[MAX_PATH + 1] = {};
  ::DWORD length = ::GetTempPathA(sizeof folder, folder);
  return length > 0 && length < sizeof folder ? std::string(folder, length) : ".\\";
}

// The mark that deletes the file when its last handle closes, whatever
// ends the process.
bool MarkForDeletion(::HANDLE handle, bool marked) {
  ::FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = marked ? TRUE : FALSE;
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// A hidden name beside the target that no other job takes: the process's
// number and a count.
::HANDLE CreateHidden(const std::string& directory, std::string& hidden) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; attempt++) {
    hidden = directory + (directory.back() == '\\' || directory.back() == '/' ? "" : "\\") +
             "~tolvane-" + std::to_string(::GetCurrentProcessId()) + "-" +
             std::to_string(++counter) + ".tmp";
    ::HANDLE handle = ::CreateFileA(hidden.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                    nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (handle != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS) return handle;
  }
  return INVALID_HANDLE_VALUE;
}

bool IsDirectory(const std::string& path) {
  ::DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void Close(TPendingFile& file) {
  if (file.Handle) ::CloseHandle(static_cast<::HANDLE>(file.Handle));
  file.Handle = nullptr;
}

// The document goes to standard output, from the start of its file.
bool CopyToStandardOutput(::HANDLE from, std::string& why) {
  ::LARGE_INTEGER start{};
  ::HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (!::SetFilePointerEx(from, start, nullptr, FILE_BEGIN) || out == INVALID_HANDLE_VALUE) {
    why = "cannot read the document back: " + LastError();
    return false;
  }
  char chunk[65536];
  for (;;) {
    ::DWORD got = 0, written = 0;
    if (!::ReadFile(from, chunk, sizeof chunk, &got, nullptr)) {
      why = "cannot read the document back: " + LastError();
      return false;
    }
    if (got == 0) return true;
    if (!::WriteFile(out, chunk, got, &written, nullptr) || written != got) {
      why = "cannot write to standard output: " + LastError();
      return false;
    }
  }
}

}  // namespace

bool OpenPendingFile(TPendingFile& file, const std::string& target, std::string& why) {
  DiscardPendingFile(file);
  file = TPendingFile{};
  file.Target = target;
  file.ToStandardOutput = target == "-";
  if (!file.ToStandardOutput && IsDirectory(target)) {
    why = "it is a directory";
    return false;
  }
  std::string directory = file.ToStandardOutput ? TemporaryFolder() : DirectoryOf(target);
  ::HANDLE handle = CreateHidden(directory, file.Hidden);
  if (handle == INVALID_HANDLE_VALUE) {
    why = "cannot write in " + directory + ": " + LastError();
    return false;
  }
  file.Handle = handle;
  if (!MarkForDeletion(handle, true)) {
    why = "cannot mark " + file.Hidden + " to go if the job dies: " + LastError();
    Close(file);
    ::DeleteFileA(file.Hidden.c_str());
    return false;
  }
  return true;
}

bool WritePendingFile(TPendingFile& file, const void* data, size_t size) {
  if (!file.Error.empty()) return false;
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    ::DWORD part = size > 0x10000000 ? 0x10000000 : static_cast<::DWORD>(size), written = 0;
    if (!file.Handle || !::WriteFile(static_cast<::HANDLE>(file.Handle), bytes, part, &written,
                                     nullptr) || written == 0) {
      file.Error = "cannot write " + file.Hidden + ": " + LastError();
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

bool CommitPendingFile(TPendingFile& file, std::string& why) {
  ::HANDLE handle = static_cast<::HANDLE>(file.Handle);
  if (!file.Error.empty() || !handle) {
    why = file.Error.empty() ? "the document has no file" : file.Error;
    DiscardPendingFile(file);
    return false;
  }
  if (file.ToStandardOutput) {
    bool copied = CopyToStandardOutput(handle, why);
    DiscardPendingFile(file);
    return copied;
  }
  // Written through before it takes the name: an older file is replaced
  // only by a whole one.
  if (!::FlushFileBuffers(handle) || !MarkForDeletion(handle, false)) {
    why = "cannot finish " + file.Hidden + ": " + LastError();
    DiscardPendingFile(file);
    return false;
  }
  Close(file);
  if (!::MoveFileExA(file.Hidden.c_str(), file.Target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    why = "cannot put the document at " + file.Target + ": " + LastError();
    ::DeleteFileA(file.Hidden.c_str());
    return false;
  }
  ::SetFileAttributesA(file.Target.c_str(), FILE_ATTRIBUTE_NORMAL);
  file.Hidden.clear();
  return true;
}

void DiscardPendingFile(TPendingFile& file) {
  // The mark removes the file as the handle closes.
  Close(file);
  file.Hidden.clear();
}

}  // namespace tolvane
