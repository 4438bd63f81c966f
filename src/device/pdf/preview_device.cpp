// Driver Preview: the document as a PDF of its own in the user's temporary
// folder, opened in the user's PDF viewer once it ends. The job does not
// wait for the viewer. Without a viewer there is no printer: a preview that
// nobody can see would be a report lost.
#include <string>

#include "device/pdf/canvas_file.h"
#include "device/pdf/pdf_canvas.h"
#include "os/win32.h"

namespace tolvane {

namespace {

// The document is whole at its place; a viewer that cannot be started
// leaves it there and says where.
void ShowPreview(const std::string& path) {
  std::string why;
  if (!OpenInPdfViewer(path, why))
    Diagnose("the preview " + path + " was written, but no viewer shows it: " + why);
  NoteDocumentPlace("preview " + path);
}

bool PreviewOpen(TDeviceContext* dc) {
  std::string why;
  if (!PdfViewerAvailable(why)) {
    Diagnose("printer '" + dc->Device + "' (driver Preview): no preview can be shown: " + why);
    return false;
  }
  std::string folder = PreviewFolder();
  RemoveOldPreviews(folder);
  return OpenCanvasFileAt(dc, &PdfDocumentFormat, NewPreviewPath(folder), ShowPreview);
}

}  // namespace

extern const TDeviceBackend PreviewDeviceBackend = PdfBackend("Preview", PreviewOpen);

}  // namespace tolvane
