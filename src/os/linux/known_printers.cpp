// What a person needs to know about the printers: which exist and where
// each comes from, and where a name that none answers was looked for.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "ini_scan.h"
#include "os/linux/cups_default.h"
#include "os/linux/cups_scheduler.h"
#include "os/linux/system_profile_sources.h"
#include "os/win32.h"

namespace tolvane {

namespace {

const char BuiltInPlace[] = "the built-in printers PDF and Trace";

std::string ProfileFilePlace() {
  std::string path = SystemProfilePath();
  struct stat info;
  if (stat(path.c_str(), &info) != 0)
    return "the system printer profile " + path + " (" + std::strerror(errno) + ")";
  return "the system printer profile " + path;
}

bool AlreadyListed(const std::vector<TKnownPrinter>& printers, const std::string& name) {
  for (const TKnownPrinter& printer : printers)
    if (SameIniName(printer.Name, name)) return true;
  return false;
}

void AddPrinter(std::vector<TKnownPrinter>& printers, const TKnownPrinter& printer) {
  if (!AlreadyListed(printers, printer.Name)) printers.push_back(printer);
}

// The profile file's [windows] device names the default before CUPS does.
void ProfileDefault(const std::vector<TIniLine>& lines, std::string& name, std::string& source) {
  for (const TIniLine& line : IniSectionEntries(lines, "windows")) {
    if (!SameIniName(line.Key, "device") || line.Value.empty()) continue;
    name = line.Value.substr(0, line.Value.find(','));
    source = SystemProfilePath();
    return;
  }
}

void CupsDefault(std::string& name, std::string& source) {
  if (NamedCupsDefault(name, source)) return;
  if (const cups_dest_t* dest = DefaultCupsDestination()) {
    name = dest->name;
    source = "the CUPS scheduler at " + CupsServerName();
  }
}

}  // namespace

std::string PrinterSearchPlaces() {
  return ProfileFilePlace() + ", " + CupsQueuesPlace() + " and " + BuiltInPlace;
}

std::vector<TKnownPrinter> ListKnownPrinters(std::string& defaultName, std::string& defaultSource) {
  std::vector<TKnownPrinter> printers;
  std::vector<TIniLine> lines;
  std::string unreadable;
  defaultName.clear();
  defaultSource.clear();
  if (ScanIniFile(SystemProfilePath(), lines, unreadable)) {
    for (const TIniLine& line : IniSectionEntries(lines, "Devices"))
      if (!line.Value.empty()) AddPrinter(printers, {line.Key, line.Value, SystemProfilePath()});
    ProfileDefault(lines, defaultName, defaultSource);
  }
  for (const std::string& queue : CupsQueueNames()) {
    const cups_dest_t* dest = FindCupsDestination(queue);
    AddPrinter(printers, {queue, "CUPS," + CupsDestinationPort(*dest), "CUPS " + CupsServerName()});
  }
  AddPrinter(printers, {"PDF", "PDF,tolvane.pdf", "built in"});
  AddPrinter(printers, {"Trace", "TRACE,tolvane.trace", "built in"});
  if (defaultName.empty()) CupsDefault(defaultName, defaultSource);
  if (!defaultName.empty() && !AlreadyListed(printers, defaultName))
    defaultSource += "; no printer of that name exists, so a job gets none";
  if (defaultName.empty()) {
    defaultName = "PDF";
    defaultSource = "built in: no default printer is configured";
  }
  return printers;
}

}  // namespace tolvane
