// Which face the Windows font mapper gives for a font name.
#include <string>

#include "os/win32.h"

namespace tolvane {

std::string DescribeFontFace(const std::string& face) {
  return (face.empty() ? std::string("the printer's default face") : face) +
         ", as the Windows font mapper gives it";
}

}  // namespace tolvane
