// What Windows gives the document writers: the font file of the face the
// font mapper chooses, and the characters of a code page.
#pragma once

#include <cstdint>
#include <string>

#include "os/win32.h"

namespace tolvane {

// The font file of the face that the Windows font mapper gives for a
// font description: its bytes, the face's index in it (a collection holds
// several) and the face's name. False, with why, when there is none.
struct TMappedFont {
  std::string File;
  int Index = 0;
  std::string Face;
};
bool ReadMappedFontFile(const LOGFONTA& font, TMappedFont& mapped, std::string& why);
// The characters of a single-byte code page's 256 bytes, as Windows
// converts them; false when it does not know the code page.
bool CodePageCharacters(int32_t codePage, char32_t characters[256]);

}  // namespace tolvane
