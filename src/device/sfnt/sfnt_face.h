// A face read from its own tables: the sizes, name and glyphs a PDF or
// PostScript document needs, without bringing FreeType into the process.
// Only faces whose tables leave no doubt about what FreeType would make of
// them are read this way; the rest (no TrueType outlines, variable fonts,
// missing or short tables, odd names, character maps of other formats) go
// to FreeType as before, so that both give the same answers.
#pragma once

#include <string_view>

#include "device/fonts/code_page.h"
#include "device/fonts/font_face.h"

namespace tolvane {

// Fills in what face holds of the face at index of a font file's bytes
// (Metrics, PostScriptName, BoundingBox, FixedPitch, CapHeight, SymbolMap,
// Sfnt, SfntDirectory); the bytes must outlive the face. False when the
// face is one for FreeType.
bool ReadSfntFace(std::string_view file, int index, TFontFace& face);

// The glyphs and advances of a code page in a face read by ReadSfntFace.
void BuildSfntGlyphs(const TFontFace& face, const TCodePageTable& codePage, TFaceGlyphs& glyphs);

}  // namespace tolvane
