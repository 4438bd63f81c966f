// The CUPS destinations as a source of printer entries: every queue is a
// printer of the CUPS driver, and the CUPS default destination is the
// default printer. Without a reachable scheduler no queue is known and every
// lookup falls through to the built-in printers, except a default that the
// user has named: that one gives no printer rather than another one.
#include <string>

#include "os/linux/cups_default.h"
#include "os/linux/cups_scheduler.h"
#include "os/linux/profile_file.h"
#include "os/linux/system_profile_sources.h"
#include "os/win32.h"

namespace tolvane {

namespace {

std::string WhyQueueIsMissing() {
  if (!CupsSchedulerAnswers()) return "no CUPS scheduler answers at " + CupsServerName();
  return "the CUPS scheduler at " + CupsServerName() + " has no such queue";
}

// A default named but not found is an entry without a driver: the job then
// ends with no printer, as lp fails for such a destination.
bool LookupDefaultPrinter(std::string& value) {
  std::string name, source;
  if (!NamedCupsDefault(name, source)) {
    const cups_dest_t* dest = DefaultCupsDestination();
    if (dest == nullptr) return false;
    value = std::string(dest->name) + ",CUPS," + CupsDestinationPort(*dest);
    return true;
  }
  if (const cups_dest_t* dest = FindCupsDestination(name)) {
    value = std::string(dest->name) + ",CUPS," + CupsDestinationPort(*dest);
    return true;
  }
  Diagnose("the default printer '" + name + "' (named by " + source +
           ") is not usable: " + WhyQueueIsMissing());
  value = name + ",,";
  return true;
}

}  // namespace

bool LookupCupsProfileEntry(const std::string& section, const std::string& key,
                            std::string& value) {
  if (SameNameIgnoringCase(section, "windows")) {
    return SameNameIgnoringCase(key, "device") && LookupDefaultPrinter(value);
  }
  if (!SameNameIgnoringCase(section, "Devices")) return false;
  const cups_dest_t* dest = FindCupsDestination(key);
  if (dest == nullptr) return false;
  value = "CUPS," + CupsDestinationPort(*dest);
  return true;
}

std::string CupsQueuesPlace() {
  if (!CupsSchedulerAnswers())
    return "the CUPS queues (no CUPS scheduler answers at " + CupsServerName() + ")";
  std::string names;
  for (const std::string& name : CupsQueueNames()) names += (names.empty() ? "" : ", ") + name;
  return "the CUPS queues of " + CupsServerName() + " (" + (names.empty() ? "none" : names) + ")";
}

}  // namespace tolvane
