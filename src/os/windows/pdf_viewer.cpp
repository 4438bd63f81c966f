// Previews on Windows: a PDF in the user's temporary folder, opened with
// the program that Windows associates with .pdf files.
#include <string>

#include "os/win32.h"
#include "os/windows/windows_api.h"
// After <windows.h>.
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>

namespace tolvane {

namespace {

const char PreviewPattern[] = "tolvane-preview-*.pdf";
// A day in the 100-nanosecond ticks of a FILETIME.
constexpr unsigned long long PreviewLifetime = 24ULL * 60 * 60 * 10000000;

unsigned long long Ticks(const ::FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::string PreviewFolder() {
  char folder[MAX_PATH + 1] = {};
  ::DWORD length = ::GetTempPathA(sizeof folder, folder);
  std::string path = length > 0 && length < sizeof folder ? std::string(folder, length) : ".";
  while (path.size() > 3 && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

std::string NewPreviewPath(const std::string& folder) {
  ::SYSTEMTIME now;
  ::GetLocalTime(&now);
  char stamp[64];
  wsprintfA(stamp, "%04u%02u%02u-%02u%02u%02u-%lu", now.wYear, now.wMonth, now.wDay, now.wHour,
            now.wMinute, now.wSecond, ::GetCurrentProcessId());
  return folder + "\\tolvane-preview-" + stamp + ".pdf";
}

void RemoveOldPreviews(const std::string& folder) {
  ::WIN32_FIND_DATAA found;
  ::HANDLE search = ::FindFirstFileA((folder + "\\" + PreviewPattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  ::FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    if (Ticks(found.ftLastWriteTime) + PreviewLifetime < Ticks(now))
      ::DeleteFileA((folder + "\\" + found.cFileName).c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

bool PdfViewerAvailable(std::string& why) {
  char program[MAX_PATH * 2] = {};
  ::DWORD size = sizeof program;
  if (::AssocQueryStringA(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, ".pdf", "open", program, &size) ==
      S_OK)
    return true;
  why = "no program is set up to open .pdf files (Default apps in the Windows settings)";
  return false;
}

// Some viewers are reached through COM, which ShellExecute expects to be
// started on the thread.
bool OpenInPdfViewer(const std::string& path, std::string& why) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ::HINSTANCE result = ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr,
                                       SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) > 32) return true;
  why = "Windows could not open it (ShellExecute answered " +
        std::to_string(reinterpret_cast<INT_PTR>(result)) + ")";
  return false;
}

}  // namespace tolvane
