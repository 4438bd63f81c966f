// libfreetype, opened when the first face is loaded.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include "device/linux/lazy_graphics.h"

using tolvane::FreeTypeLibrary;

TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Done_Face, 1)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Done_FreeType, 1)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Get_Advance, 4)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Get_Char_Index, 2)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Get_Postscript_Name, 1)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Get_Sfnt_Table, 2)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Init_FreeType, 1)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Load_Glyph, 3)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_New_Face, 4)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_New_Memory_Face, 5)
TOLVANE_LAZY_FUNCTION(FreeTypeLibrary, FT_Select_Charmap, 2)
