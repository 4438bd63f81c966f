// Glyphs on a raster sheet (PNG). FreeType cannot rasterise some glyphs of
// some extreme sizes (a cell many times wider than it is high), and a
// failed glyph puts cairo's whole sheet in an error state; so each glyph is
// tried once on a scratch surface before it goes on a sheet.
#pragma once

#include <cairo.h>

#include <cstdint>

namespace tolvane {

enum class TGlyphWay : uint8_t {
  Unknown,  // not tried yet
  Glyph,    // drawn as cairo draws glyphs
  Outline,  // its outline filled as a path
  None,     // cannot be drawn at all: left out
};

// How the glyph of font is drawn on an image surface whose user space is
// device pixels, as font's own transformation expects.
TGlyphWay FindGlyphWay(cairo_scaled_font_t* font, unsigned long glyph);

}  // namespace tolvane
