// TrueType font files as a PDF's simple fonts need them: the character map
// replaced by one of just the characters that the document draws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

// A character of the Basic Multilingual Plane and the glyph it draws.
struct TCharacterGlyph {
  uint16_t Character;
  uint16_t Glyph;
};

// Replaces the character map of the font file with one Unicode map
// (platform 3, encoding 1) of the pairs; a character listed twice keeps its
// first glyph. False, leaving font as it was, when the file is not a font
// this can read.
bool ReplaceCharacterMap(std::string& font, std::vector<TCharacterGlyph> pairs);

}  // namespace tolvane
