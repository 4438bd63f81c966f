// A face read from its own tables: the sizes, name and glyphs a PDF or
// PostScript document needs, without bringing FreeType into the process.
// Only faces whose tables leave no doubt about what FreeType would make of
// them are read this way; the rest (no TrueType outlines, variable fonts,
// missing or short tables, odd names, character maps of other formats) go
// to FreeType as before, so that both give the same answers.
#pragma once

#include <string>

#include "device/linux/cairo_fonts.h"

namespace tolvane {

// Fills in what face holds of the file's face at index (Metrics,
// PostScriptName, BoundingBox, FixedPitch, CapHeight, SymbolMap, Sfnt, SfntDirectory).
// False when the face is one for FreeType.
bool ReadSfntFace(const std::string& file, int index, TFontFace& face);

// The glyphs and advances of a code page in a face read by ReadSfntFace.
void BuildSfntGlyphs(const TFontFace& face, const TCodePageTable& codePage, TFaceGlyphs& glyphs);

}  // namespace tolvane
