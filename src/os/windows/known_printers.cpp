// What a person needs to know about the printers of the system.
#include <string>
#include <vector>

#include "os/win32.h"

namespace tolvane {

std::string PrinterSearchPlaces() { return "the printers of the system"; }

// Windows keeps its printers itself; only the default is asked here, by the
// profile call that a job uses.
std::vector<TKnownPrinter> ListKnownPrinters(std::string& defaultName,
                                             std::string& defaultSource) {
  char entry[256];
  GetProfileStringA("windows", "device", "", entry, sizeof entry);
  std::string text = entry;
  defaultName = text.substr(0, text.find(','));
  defaultSource = "the system's default printer";
  return {};
}

}  // namespace tolvane
