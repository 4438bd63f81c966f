// Driver PS: the whole document as one PostScript file at the port's path,
// or on standard output for "-".
#include <cairo-ps.h>

#include "device/linux/cairo_device.h"
#include "device/linux/document_file.h"

namespace tolvane {

namespace {

// Document comments are plain text lines: a title is kept to printable
// ASCII so that it cannot break out of its line.
std::string DscText(const std::string& text) {
  std::string result;
  for (char ch : text) result += ch >= 0x20 && ch <= 0x7e ? ch : '?';
  return result;
}

cairo_surface_t* MakePostScript(const TPrinterGeometry& geometry, const std::string& title,
                                cairo_write_func_t write, void* closure) {
  TSheetFrame frame = SheetFrame(geometry, true);
  cairo_surface_t* surface =
      cairo_ps_surface_create_for_stream(write, closure, frame.Width, frame.Height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_ps_surface_dsc_comment(surface, ("%%Title: " + DscText(title)).c_str());
  return surface;
}

bool PsOpen(TDeviceContext* dc) { return OpenDocumentFile(dc, MakePostScript); }

}  // namespace

extern const TDeviceBackend PsDeviceBackend = CairoBackend("PS", PsOpen);

}  // namespace tolvane
