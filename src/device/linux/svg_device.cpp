// Driver SVG: one SVG file per sheet, named from the port's pattern.
#include <cairo-svg.h>

#include <memory>

#include "device/linux/file_sheets.h"

namespace tolvane {

namespace {

struct TSvgSheets : TSheetFileSheets {
  using TSheetFileSheets::TSheetFileSheets;
  bool InPoints() const override { return true; }

 protected:
  cairo_surface_t* StartSurface(cairo_write_func_t write, void* closure) override {
    TSheetFrame frame = SheetFrame(Geometry, true);
    cairo_surface_t* surface =
        cairo_svg_surface_create_for_stream(write, closure, frame.Width, frame.Height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(surface);
      return nullptr;
    }
    cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PT);
    return surface;
  }
  bool FinishSurface(cairo_surface_t* surface, cairo_write_func_t, void*) override {
    cairo_surface_finish(surface);
    return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  }
  void ReleaseSurface(cairo_surface_t* surface) override { cairo_surface_destroy(surface); }
};

bool SvgOpen(TDeviceContext* dc) {
  auto sheets = std::make_unique<TSvgSheets>(dc->Geometry, dc->Port);
  std::string failure;
  if (!sheets->Open(failure)) return false;
  AttachCairoCanvas(dc, std::move(sheets));
  return true;
}

}  // namespace

extern const TDeviceBackend SvgDeviceBackend = CairoBackend("SVG", SvgOpen);

}  // namespace tolvane
