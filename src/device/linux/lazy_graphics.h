// The libraries that the file drivers draw with, loaded when a driver that
// needs them opens (see os/linux/lazy_library.h).
#pragma once

#include "os/linux/lazy_library.h"

namespace tolvane {

extern TLazyLibrary CairoLibrary;
extern TLazyLibrary FontconfigLibrary;
extern TLazyLibrary FreeTypeLibrary;
extern TLazyLibrary DeflateLibrary;
extern TLazyLibrary StbLibrary;  // the logos' decoder

// Loads all three. False, after a diagnostic that names the library, when
// one is missing: the driver then opens no output, as for an output that
// cannot be created.
bool LoadGraphicsLibraries();

// The same for the PDF writer, which never draws with cairo: libdeflate
// and, unless the cache of its answers holds some (font_answers.h),
// fontconfig. FreeType comes only when a face needs it.
bool LoadPdfLibraries();  // the writers see it in device/pdf/document_file.h

}  // namespace tolvane
