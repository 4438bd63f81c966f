// A TrueType font cut down to the glyphs that a document draws, as PDF and
// PostScript fonts embed it. Glyphs keep their order and are numbered
// anew from 0 (the missing-glyph glyph, always kept); the glyphs that
// composite glyphs are built from come along. Hinting is dropped, as the
// viewer or printer scales the outlines itself, and so are the tables of
// text layout and of glyph-indexed device data, which the new numbering
// would make wrong. The character map is left for the caller to write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

struct TSfntSubset {
  std::string Program;              // the font file, without a character map
  std::vector<uint32_t> OldGlyphs;  // by new glyph, the glyph of the source
};

// An affine map of glyph space in font units: a point x, y goes to
// XX*x + XY*y + DX, YX*x + YY*y + DY.
struct TSfntTransform {
  double XX = 1, XY = 0, YX = 0, YY = 1, DX = 0, DY = 0;
};

// The subset of glyphs from the font at index in file (a single font or a
// collection). False, with the reason, when the font has no TrueType
// outlines or its tables cannot be read.
//
// With a transform, the glyphs are drawn mapped through it, so that a face
// can stand in the frame of another (a bold face at the regular one's size
// and baseline): each is written as a simple glyph, composites flattened,
// with its advance scaled by XX and the font's box, extents and limits
// following the new outlines. The numbering stays as without one.
bool SubsetTrueType(std::string_view file, int index, const std::vector<uint32_t>& glyphs,
                    TSfntSubset& subset, std::string& reason,
                    const TSfntTransform* transform = nullptr);

// The new number of a glyph of the source; 0 when the subset lacks it.
uint32_t SubsetGlyph(const TSfntSubset& subset, uint32_t oldGlyph);

}  // namespace tolvane
