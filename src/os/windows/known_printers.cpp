// What a person needs to know about the printers of Windows: those the
// spooler has (local printers and connections), with their driver and
// port, and the [Devices] entries of win.ini, which are what a job reads
// and which may name printers of this program that no spooler knows (a
// TRACE printer).
#include <string>
#include <vector>

#include "ini_scan.h"
#include "os/win32.h"
#include "os/windows/system_error.h"
#include "os/windows/system_profile_file.h"
#include "os/windows/windows_api.h"
#include <winspool.h>

namespace tolvane {

namespace {

const char SpoolerPlace[] = "the printers of the system";

// The spooler's library is loaded only when the printers are listed: a job
// needs none of it, and Wine's copy, whenever it is loaded, imports the CUPS
// queues and may make one of them the default printer.
typedef ::BOOL(WINAPI* TEnumPrinters)(::DWORD, ::LPSTR, ::DWORD, ::LPBYTE, ::DWORD, ::LPDWORD,
                                      ::LPDWORD);
typedef ::BOOL(WINAPI* TGetDefaultPrinter)(::LPSTR, ::LPDWORD);

// Returned as a plain pointer: each caller knows the call's own type.
void* SpoolerCall(const char* name) {
  static ::HMODULE library = ::LoadLibraryA("winspool.drv");
  void* call = library ? reinterpret_cast<void*>(::GetProcAddress(library, name)) : nullptr;
  if (!call)
    Diagnose(std::string("the printers of the system cannot be asked: ") + name +
             " of winspool.drv is not there (" + SystemErrorText(::GetLastError()) + ")");
  return call;
}
const char ProfilePlace[] = "win.ini [Devices]";

bool AlreadyListed(const std::vector<TKnownPrinter>& printers, const std::string& name) {
  for (const TKnownPrinter& printer : printers)
    if (SameIniName(printer.Name, name)) return true;
  return false;
}

std::string OrEmpty(const char* text) { return text ? text : ""; }

// Every printer of the spooler, asked twice: once for the size, once for
// the list (which may grow in between, so the size is asked again).
std::vector<BYTE> SpoolerEntries(::DWORD& count) {
  const ::DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  std::vector<BYTE> entries;
  auto enumPrinters = reinterpret_cast<TEnumPrinters>(SpoolerCall("EnumPrintersA"));
  if (!enumPrinters) return entries;
  for (int attempt = 0; attempt < 3; attempt++) {
    ::DWORD needed = 0;
    count = 0;
    if (enumPrinters(flags, nullptr, 2, entries.data(), static_cast<::DWORD>(entries.size()),
                        &needed, &count))
      return entries;
    ::DWORD error = ::GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) {
      Diagnose(std::string("the printers of the system cannot be listed (EnumPrinters): ") +
               SystemErrorText(error));
      break;
    }
    entries.resize(needed);
  }
  count = 0;
  return {};
}

void AddSpoolerPrinters(std::vector<TKnownPrinter>& printers) {
  ::DWORD count = 0;
  std::vector<BYTE> entries = SpoolerEntries(count);
  const ::PRINTER_INFO_2A* info = reinterpret_cast<const ::PRINTER_INFO_2A*>(entries.data());
  for (::DWORD i = 0; i < count; i++) {
    std::string name = OrEmpty(info[i].pPrinterName);
    if (name.empty() || AlreadyListed(printers, name)) continue;
    bool connection = (info[i].Attributes & PRINTER_ATTRIBUTE_NETWORK) != 0;
    printers.push_back({name, OrEmpty(info[i].pDriverName) + "," + OrEmpty(info[i].pPortName),
                        connection ? "printer connection" : "printer of the system"});
  }
}

// The names of a profile section: each ends in a zero byte, the list in a
// second one. A list cut by the buffer is asked again with a larger one.
std::vector<std::string> ProfileKeys(const char* section) {
  std::vector<char> buffer(4096);
  for (;;) {
    DWORD length = GetProfileStringA(section, nullptr, "", buffer.data(),
                                     static_cast<DWORD>(buffer.size()));
    if (length + 2 < buffer.size() || buffer.size() >= (1u << 24)) {
      std::vector<std::string> keys;
      for (size_t at = 0; at < length && buffer[at] != 0; at += keys.back().size() + 1)
        keys.emplace_back(&buffer[at]);
      return keys;
    }
    buffer.resize(buffer.size() * 4);
  }
}

// The program's own profile file answers first, so its printers come first
// and stand for any of the same name that Windows has.
void AddProfileFilePrinters(std::vector<TKnownPrinter>& printers, std::string& defaultName,
                            std::string& defaultSource) {
  std::string path = SystemProfileFilePath(), why;
  std::vector<TIniLine> lines;
  if (path.empty() || !ScanIniFile(path, lines, why)) return;
  for (const TIniLine& line : IniSectionEntries(lines, "Devices"))
    if (!line.Value.empty() && !AlreadyListed(printers, line.Key))
      printers.push_back({line.Key, line.Value, path});
  for (const TIniLine& line : IniSectionEntries(lines, "windows")) {
    if (!SameIniName(line.Key, "device") || line.Value.empty()) continue;
    defaultName = line.Value.substr(0, line.Value.find(','));
    defaultSource = path;
    return;
  }
}

void AddProfilePrinters(std::vector<TKnownPrinter>& printers) {
  for (const std::string& name : ProfileKeys("Devices")) {
    char entry[512] = {};
    GetProfileStringA("Devices", name.c_str(), "", entry, sizeof entry);
    if (entry[0] == 0 || AlreadyListed(printers, name)) continue;
    printers.push_back({name, entry, ProfilePlace});
  }
}

std::string NamesInWords(const std::vector<TKnownPrinter>& printers) {
  if (printers.empty()) return "there are none";
  std::string words;
  for (size_t i = 0; i < printers.size(); i++) {
    if (i > 0) words += i + 1 == printers.size() ? " and " : ", ";
    words += printers[i].Name;
  }
  return words;
}

// A job takes its default printer from win.ini [windows] device; the
// spooler's default stands in only to say what is wrong when that is empty.
void DefaultPrinter(std::string& name, std::string& source) {
  if (!name.empty()) return;
  char entry[512] = {};
  GetProfileStringA("windows", "device", "", entry, sizeof entry);
  name = std::string(entry).substr(0, std::string(entry).find(','));
  source = "win.ini [windows] device";
  if (!name.empty()) return;
  char spooler[512] = {};
  ::DWORD size = sizeof spooler;
  auto getDefaultPrinter = reinterpret_cast<TGetDefaultPrinter>(SpoolerCall("GetDefaultPrinterA"));
  if (!getDefaultPrinter || !getDefaultPrinter(spooler, &size)) {
    source = "no default printer is set";
    return;
  }
  name = spooler;
  source = "the spooler's default; win.ini [windows] device is empty, so a job gets none";
}

}  // namespace

std::string PrinterSearchPlaces() {
  std::string name, source, file = SystemProfileFilePath();
  return (file.empty() ? "" : "the system printer profile " + file + ", ") +
         std::string(SpoolerPlace) + " and " + ProfilePlace + ": " +
         NamesInWords(ListKnownPrinters(name, source));
}

std::vector<TKnownPrinter> ListKnownPrinters(std::string& defaultName,
                                             std::string& defaultSource) {
  std::vector<TKnownPrinter> printers;
  defaultName.clear();
  defaultSource.clear();
  AddProfileFilePrinters(printers, defaultName, defaultSource);
  AddSpoolerPrinters(printers);
  AddProfilePrinters(printers);
  DefaultPrinter(defaultName, defaultSource);
  return printers;
}

}  // namespace tolvane
