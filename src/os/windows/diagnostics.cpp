// Diagnostic lines go to standard error whenever it leads somewhere: a
// console, a pipe or a file. A host that starts the program without any
// (a GUI program, a service) gets nothing there; the job log keeps the line.
// The messages are ANSI text, as every string of the job; a console shows
// them in its own output code page.
#include <string>
#include <vector>

#include "os/win32.h"
#include "os/windows/windows_api.h"

namespace tolvane {

namespace {

// ANSI text as the console's output code page gives it; characters that
// code page lacks become its default character.
std::string ForConsole(const std::string& text) {
  UINT consolePage = ::GetConsoleOutputCP();
  if (consolePage == 0 || consolePage == ::GetACP() || text.empty()) return text;
  int wide = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (wide <= 0) return text;
  std::wstring utf16(static_cast<size_t>(wide), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
  int bytes = ::WideCharToMultiByte(consolePage, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return text;
  std::string converted(static_cast<size_t>(bytes), '\0');
  ::WideCharToMultiByte(consolePage, 0, utf16.data(), wide, converted.data(), bytes, nullptr,
                        nullptr);
  return converted;
}

bool IsConsole(::HANDLE handle) {
  ::DWORD mode = 0;
  return ::GetFileType(handle) == FILE_TYPE_CHAR && ::GetConsoleMode(handle, &mode) != 0;
}

// Ends a line the Windows way.
std::string WithCrLf(std::string text) {
  if (!text.empty() && text.back() == '\n') {
    text.back() = '\r';
    text.push_back('\n');
  }
  return text;
}

}  // namespace

void WriteDiagnosticLine(const std::string& line) {
  ::HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  if (::GetFileType(handle) == FILE_TYPE_UNKNOWN) return;
  std::string text = WithCrLf(IsConsole(handle) ? ForConsole(line) : line);
  ::DWORD written = 0;
  ::WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The system's box keeps its fixed text, so the failure's own message is
// said on standard error just before it appears.
void SetWarningDetail(const std::string& detail) {
  if (!detail.empty()) Diagnose(detail);
}

bool StandardErrorIsTerminal() { return false; }

void ShowProgressLine(const std::string& /*line*/) {}

void NoteDocumentPlace(const std::string& /*place*/) {}

std::string DocumentPlace() { return std::string(); }

}  // namespace tolvane
