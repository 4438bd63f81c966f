// Driver PDF: the whole document as one PDF file at the port's path, or on
// standard output for "-".
#include <cairo-pdf.h>

#include "device/linux/cairo_device.h"
#include "device/linux/document_file.h"

namespace tolvane {

namespace {

cairo_surface_t* MakePdf(const TPrinterGeometry& geometry, const std::string& title,
                         cairo_write_func_t write, void* closure) {
  cairo_surface_t* surface = CreatePdfStreamSurface(geometry, write, closure);
  if (surface) cairo_pdf_surface_set_metadata(surface, CAIRO_PDF_METADATA_TITLE, title.c_str());
  return surface;
}

bool PdfOpen(TDeviceContext* dc) { return OpenDocumentFile(dc, MakePdf); }

}  // namespace

extern const TDeviceBackend PdfDeviceBackend = CairoBackend("PDF", PdfOpen);

}  // namespace tolvane
