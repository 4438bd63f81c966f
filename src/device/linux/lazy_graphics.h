// The libraries that the file drivers draw with, loaded when a driver that
// needs them opens (see os/linux/lazy_library.h).
#pragma once

#include "os/linux/lazy_library.h"

namespace tolvane {

extern TLazyLibrary CairoLibrary;
extern TLazyLibrary FontconfigLibrary;
extern TLazyLibrary FreeTypeLibrary;
extern TLazyLibrary HarfBuzzLibrary;
extern TLazyLibrary HarfBuzzSubsetLibrary;
extern TLazyLibrary DeflateLibrary;

// Loads fontconfig and FreeType, which every driver that draws text needs.
bool LoadFontLibraries();

// Loads those and cairo. False, after a diagnostic that names the library, when
// one is missing: the driver then opens no output, as for an output that
// cannot be created.
bool LoadGraphicsLibraries();

// The same for the PDF writer, which never draws with cairo: the font
// libraries, HarfBuzz's subsetter and libdeflate.
bool LoadPdfLibraries();

}  // namespace tolvane
