// The outlines of TrueType glyphs as points, for a subset that draws a
// face's glyphs in the frame of another: composite glyphs are flattened
// into the points of their components, which are then mapped and written
// back as simple glyphs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/sfnt/sfnt_subset.h"

namespace tolvane {

// Component flags of a composite glyph.
constexpr uint16_t ArgumentsAreWords = 0x0001;
constexpr uint16_t ArgumentsAreOffsets = 0x0002;
constexpr uint16_t HasScale = 0x0008;
constexpr uint16_t MoreComponents = 0x0020;
constexpr uint16_t HasTwoScales = 0x0040;
constexpr uint16_t HasTwoByTwo = 0x0080;
constexpr uint16_t ScaledComponentOffset = 0x0800;

struct TSfntPoint {
  double X = 0, Y = 0;
  bool OnCurve = false;
};

struct TSfntOutline {
  std::vector<TSfntPoint> Points;
  std::vector<uint16_t> ContourEnds;  // the last point of each contour
};

// What the font-wide tables need of a written glyph: its box in font units
// and its size; no points for a glyph written without an outline.
struct TSfntGlyphExtent {
  int16_t XMin = 0, YMin = 0, XMax = 0, YMax = 0;
  uint16_t Points = 0, Contours = 0;
};

// The bytes of a glyph in the glyph table, empty for a glyph without an
// outline or outside the font.
using TSfntGlyphData = std::function<std::string_view(uint32_t glyph)>;

// The points of a glyph, the components of a composite placed and
// transformed as its records say. False for a glyph that cannot be read:
// records or points past its bytes, components nested too deep (a glyph
// built from itself among them) or too many points.
bool FlattenGlyph(const TSfntGlyphData& data, uint32_t glyph, TSfntOutline& outline);

// The outline mapped through transform and appended to glyf as a simple
// glyph without instructions. Nothing is appended for an empty outline or
// one whose mapped points a glyph cannot hold.
TSfntGlyphExtent AppendMappedGlyph(std::string& glyf, const TSfntOutline& outline,
                                   const TSfntTransform& transform);

// The nearest value that a signed 16-bit field holds.
int32_t RoundToInt16(double value);

}  // namespace tolvane
