// The CUPS default destination as the user has named it: by PRINTER or
// LPDEST, or by a Default line of an lpoptions file. A named default that the
// scheduler does not know must not quietly become another printer.
#pragma once

#include <string>

namespace tolvane {

// The default destination's name (without its instance) and where it is
// named ("PRINTER", "/home/u/.cups/lpoptions"); false when none is named
// there (the scheduler's own default may still exist).
bool NamedCupsDefault(std::string& name, std::string& source);

}  // namespace tolvane
