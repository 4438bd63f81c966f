// Driver PS: the whole document as one PostScript file at the port's path,
// or on standard output for "-"; its sheets are written as they end.
#include "device/pdf/canvas_file.h"
#include "device/pdf/pdf_canvas.h"
#include "device/pdf/pdf_format.h"

namespace tolvane {

namespace {

bool PsOpen(TDeviceContext* dc) { return OpenCanvasFile(dc, &PsDocumentFormat); }

}  // namespace

extern const TDeviceBackend PsDeviceBackend = PdfBackend("PS", PsOpen);

}  // namespace tolvane
