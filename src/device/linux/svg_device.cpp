// Driver SVG: one SVG file per sheet, named from the port's pattern.
#include <cairo-svg.h>

#include "device/linux/file_sheets.h"

namespace tolvane {

namespace {

cairo_surface_t* StartSvg(TSheetFiles& files, cairo_write_func_t write, void* closure) {
  TSheetFrame frame = SheetFrame(files.Geometry, true);
  cairo_surface_t* surface =
      cairo_svg_surface_create_for_stream(write, closure, frame.Width, frame.Height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
  return surface;
}

bool FinishSvg(TSheetFiles&, cairo_surface_t* surface, cairo_write_func_t, void*) {
  cairo_surface_finish(surface);
  return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
}

void DestroySvg(TSheetFiles&, cairo_surface_t* surface) { cairo_surface_destroy(surface); }

// Every sheet has a surface of its own; nothing outlives them.
void ReleaseSvg(TSheetFiles&) {}

const TSheetFormat SvgFormat = {true, StartSvg, FinishSvg, DestroySvg, ReleaseSvg};

bool SvgOpen(TDeviceContext* dc) { return OpenSheetFiles(dc, &SvgFormat); }

}  // namespace

extern const TDeviceBackend SvgDeviceBackend = CairoBackend("SVG", SvgOpen);

}  // namespace tolvane
