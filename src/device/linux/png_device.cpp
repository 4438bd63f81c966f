// Driver PNG: one picture per sheet at the printer's resolution, named from
// the port's pattern. One image is kept for the context and cleared for
// every sheet, so a long document costs one sheet's memory.
#include "device/linux/file_sheets.h"

namespace tolvane {

namespace {

// The context's image (FormatData), made at the first sheet.
cairo_surface_t* Image(const TSheetFiles& files) {
  return static_cast<cairo_surface_t*>(files.FormatData);
}

cairo_surface_t* MakeImage(const TPrinterGeometry& geometry) {
  TSheetFrame frame = SheetFrame(geometry, false);
  cairo_surface_t* image = cairo_image_surface_create(
      CAIRO_FORMAT_RGB24, static_cast<int>(frame.Width), static_cast<int>(frame.Height));
  if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) return image;
  cairo_surface_destroy(image);
  return nullptr;
}

cairo_surface_t* StartPng(TSheetFiles& files, cairo_write_func_t, void*) {
  if (!Image(files)) files.FormatData = MakeImage(files.Geometry);
  cairo_surface_t* image = Image(files);
  if (!image) return nullptr;
  cairo_t* cr = cairo_create(image);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  return image;
}

bool FinishPng(TSheetFiles&, cairo_surface_t* surface, cairo_write_func_t write, void* closure) {
  cairo_surface_flush(surface);
  return cairo_surface_write_to_png_stream(surface, write, closure) == CAIRO_STATUS_SUCCESS;
}

// The image outlives its sheets; it goes with the context.
void KeepPng(TSheetFiles&, cairo_surface_t*) {}

void ReleasePng(TSheetFiles& files) {
  if (Image(files)) cairo_surface_destroy(Image(files));
  files.FormatData = nullptr;
}

const TSheetFormat PngFormat = {false, StartPng, FinishPng, KeepPng, ReleasePng};

bool PngOpen(TDeviceContext* dc) { return OpenSheetFiles(dc, &PngFormat); }

}  // namespace

extern const TDeviceBackend PngDeviceBackend = CairoBackend("PNG", PngOpen);

}  // namespace tolvane
