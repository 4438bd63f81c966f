// On Windows the program stays silent apart from its warning boxes: it has
// no console of its own, and the host reads only the exit code.
#include <string>

#include "os/win32.h"

namespace tolvane {

void Diagnose(const std::string& /*message*/) {}

}  // namespace tolvane
