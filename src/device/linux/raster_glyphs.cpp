#include "device/linux/raster_glyphs.h"

#include <cmath>

namespace tolvane {

namespace {

// A one-pixel surface under the glyph's ink: what cairo does with the glyph
// there, it does on a sheet, without touching one.
bool DrawsOnScratch(cairo_scaled_font_t* font, unsigned long glyph, bool asOutline) {
  cairo_text_extents_t ink;
  cairo_glyph_t placed = {glyph, 0, 0};
  cairo_scaled_font_glyph_extents(font, &placed, 1, &ink);
  if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) return false;
  placed.x = std::isfinite(ink.x_bearing) ? -ink.x_bearing : 0;
  placed.y = std::isfinite(ink.y_bearing) ? -ink.y_bearing : 0;
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(scratch);
  cairo_set_scaled_font(cr, font);
  if (asOutline) {
    cairo_glyph_path(cr, &placed, 1);
    cairo_fill(cr);
  } else {
    cairo_show_glyphs(cr, &placed, 1);
  }
  cairo_surface_flush(scratch);
  bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS &&
               cairo_surface_status(scratch) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_destroy(scratch);
  return drawn;
}

}  // namespace

TGlyphWay FindGlyphWay(cairo_scaled_font_t* font, unsigned long glyph) {
  if (DrawsOnScratch(font, glyph, false)) return TGlyphWay::Glyph;
  if (DrawsOnScratch(font, glyph, true)) return TGlyphWay::Outline;
  return TGlyphWay::None;
}

}  // namespace tolvane
