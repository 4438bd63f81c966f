// The CUPS destinations as a source of printer entries: every queue is a
// printer of the CUPS driver, and the CUPS default destination is the
// default printer. Without a reachable scheduler no queue is known and every
// lookup falls through to the built-in printers.
#include <string>

#include "device/linux/cups_scheduler.h"
#include "os/linux/profile_file.h"
#include "os/linux/system_profile_sources.h"

namespace tolvane {

bool LookupCupsProfileEntry(const std::string& section, const std::string& key,
                            std::string& value) {
  if (SameNameIgnoringCase(section, "windows")) {
    if (!SameNameIgnoringCase(key, "device")) return false;
    const cups_dest_t* dest = DefaultCupsDestination();
    if (dest == nullptr) return false;
    value = std::string(dest->name) + ",CUPS," + CupsDestinationPort(*dest);
    return true;
  }
  if (!SameNameIgnoringCase(section, "Devices")) return false;
  const cups_dest_t* dest = FindCupsDestination(key);
  if (dest == nullptr) return false;
  value = "CUPS," + CupsDestinationPort(*dest);
  return true;
}

}  // namespace tolvane
