// Driver PDF: the whole document as one PDF file at the port's path, or on
// standard output for "-".
#include "device/pdf/canvas_file.h"
#include "device/pdf/pdf_canvas.h"

namespace tolvane {

namespace {

bool PdfOpen(TDeviceContext* dc) { return OpenCanvasFile(dc, &PdfDocumentFormat); }

}  // namespace

extern const TDeviceBackend PdfDeviceBackend = PdfBackend("PDF", PdfOpen);

}  // namespace tolvane
