#include "device/linux/lazy_graphics.h"

#include "device/linux/font_answers.h"

namespace tolvane {

TLazyLibrary CairoLibrary{"libcairo.so.2", nullptr, false};
TLazyLibrary FontconfigLibrary{"libfontconfig.so.1", nullptr, false};
TLazyLibrary FreeTypeLibrary{"libfreetype.so.6", nullptr, false};
TLazyLibrary DeflateLibrary{"libdeflate.so.0", nullptr, false};
TLazyLibrary StbLibrary{"libstb.so.0", nullptr, false};

// FreeType answers 0 for success, so a function of a missing library must
// never be reached; loading them before anything is drawn sees to it.
bool LoadGraphicsLibraries() {
  bool cairo = LoadLazyLibrary(CairoLibrary);
  bool fontconfig = LoadLazyLibrary(FontconfigLibrary);
  bool freetype = LoadLazyLibrary(FreeTypeLibrary);
  return cairo && fontconfig && freetype;
}

// fontconfig is loaded only when the cache of its answers holds none; a job
// whose faces are all there never needs it. FreeType is loaded only for a
// face that the program cannot read from its tables itself (sfnt_face.h).
bool LoadPdfLibraries() {
  bool fontconfig = FontAnswersKept() || LoadLazyLibrary(FontconfigLibrary);
  bool deflate = LoadLazyLibrary(DeflateLibrary);
  return fontconfig && deflate;
}

}  // namespace tolvane
