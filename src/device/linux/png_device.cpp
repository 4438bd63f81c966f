// Driver PNG: one picture per sheet at the printer's resolution, named from
// the port's pattern. One image is kept for the context and cleared for
// every sheet, so a long document costs one sheet's memory.
#include <memory>

#include "device/linux/file_sheets.h"

namespace tolvane {

namespace {

struct TPngSheets : TSheetFileSheets {
  using TSheetFileSheets::TSheetFileSheets;
  ~TPngSheets() override {
    if (Image) cairo_surface_destroy(Image);
  }
  bool InPoints() const override { return false; }

 protected:
  cairo_surface_t* StartSurface(cairo_write_func_t, void*) override {
    if (!Image) {
      TSheetFrame frame = SheetFrame(Geometry, false);
      Image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(frame.Width),
                                         static_cast<int>(frame.Height));
      if (cairo_surface_status(Image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(Image);
        Image = nullptr;
        return nullptr;
      }
    }
    cairo_t* cr = cairo_create(Image);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
    return Image;
  }
  bool FinishSurface(cairo_surface_t* surface, cairo_write_func_t write, void* closure) override {
    cairo_surface_flush(surface);
    return cairo_surface_write_to_png_stream(surface, write, closure) == CAIRO_STATUS_SUCCESS;
  }
  void ReleaseSurface(cairo_surface_t*) override {}

 private:
  cairo_surface_t* Image = nullptr;
};

bool PngOpen(TDeviceContext* dc) {
  auto sheets = std::make_unique<TPngSheets>(dc->Geometry, dc->Port);
  std::string failure;
  if (!sheets->Open(failure)) return false;
  AttachCairoCanvas(dc, std::move(sheets));
  return true;
}

}  // namespace

extern const TDeviceBackend PngDeviceBackend = CairoBackend("PNG", PngOpen);

}  // namespace tolvane
