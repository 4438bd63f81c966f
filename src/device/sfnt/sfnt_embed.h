// TrueType font files as documents embed them: the character map replaced
// by one of just the characters that the document draws (a PDF's simple
// fonts), the file cut into pieces that a PostScript string can hold (a
// Type 42 font).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

// A character of the Basic Multilingual Plane and the glyph it draws.
struct TCharacterGlyph {
  uint16_t Character;
  uint16_t Glyph;
};

// Replaces the character map of the font file with a Windows Unicode map
// (platform 3, encoding 1) of the pairs and, where symbols are given, a
// Windows symbol map (encoding 0) of them: a symbolic simple font's codes
// at 0xF000 + code. A character listed twice keeps its first glyph. False,
// leaving font as it was, when the file is not a font this can read.
bool ReplaceCharacterMap(std::string& font, const std::vector<TCharacterGlyph>& pairs,
                         const std::vector<TCharacterGlyph>& symbols = {});

// Where to cut the font file into pieces of at most limit bytes: at the
// start of a table, or of a glyph inside the glyph table, and only at even
// offsets; anywhere (at an even offset) only where no such place is near
// enough. The offsets from 0 to the file's size, in order.
std::vector<size_t> FontPieces(const std::string& font, size_t limit);

}  // namespace tolvane
