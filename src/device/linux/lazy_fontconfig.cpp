// libfontconfig, opened when the first font is looked for.
#include <fontconfig/fontconfig.h>

#include "device/linux/lazy_graphics.h"

using tolvane::FontconfigLibrary;

TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcConfigGetConfigFiles, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcConfigGetFontDirs, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcConfigSubstitute, 3)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcDefaultSubstitute, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcFontMatch, 3)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcInit, 0)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternAddBool, 3)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternAddInteger, 3)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternAddString, 3)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternCreate, 0)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternDestroy, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternGetBool, 4)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternGetInteger, 4)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcPatternGetString, 4)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcStrListDone, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcStrListNext, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcWeightFromOpenType, 1)
TOLVANE_LAZY_FUNCTION(FontconfigLibrary, FcWeightToOpenType, 1)
