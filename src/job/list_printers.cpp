// tolvane --list-printers: what lpstat -p -d tells of CUPS, for every
// printer a job could name.
#include <cstdio>
#include <string>

#include "job/options.h"
#include "os/win32.h"

namespace tolvane {

int ListPrinters() {
  std::string defaultName, defaultSource;
  for (const TKnownPrinter& printer : ListKnownPrinters(defaultName, defaultSource))
    std::printf("printer %s: %s (%s)\n", printer.Name.c_str(), printer.Entry.c_str(),
                printer.Source.c_str());
  std::printf("default printer: %s (%s)\n", defaultName.empty() ? "none" : defaultName.c_str(),
              defaultSource.c_str());
  return 0;
}

}  // namespace tolvane
