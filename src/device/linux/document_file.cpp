// The output of a paged document that goes to one file at the port's path.
#include "device/linux/document_file.h"
#include "device/linux/lazy_graphics.h"

#include "device/linux/output_file.h"
#include "device/linux/paged_sheets.h"

namespace tolvane {

namespace {

struct TDocumentFile {
  std::string Port;
  TDocumentSurfaceMaker Maker = nullptr;
  TOutputFile File;
};

TDocumentFile& DocumentFile(const TPagedSheets& sheets) {
  return *static_cast<TDocumentFile*>(sheets.Output);
}

// The first document has the file that the context's opening started; a
// later one on the same context starts its own.
bool PrepareFile(TPagedSheets& sheets, std::string& failure) {
  TDocumentFile& document = DocumentFile(sheets);
  return OutputFileIsOpen(document.File) ||
         CreateOutputFile(document.File, document.Port, failure);
}

cairo_surface_t* MakeFileSurface(TPagedSheets& sheets, cairo_write_func_t write, void* closure) {
  return DocumentFile(sheets).Maker(sheets.Geometry, sheets.DocumentName, write, closure);
}

bool WriteFile(TPagedSheets& sheets, const unsigned char* data, unsigned int length) {
  return WriteOutputFile(DocumentFile(sheets).File, data, length);
}

bool CommitFile(TPagedSheets& sheets, std::string& failure) {
  return CommitOutputFile(DocumentFile(sheets).File, failure);
}

void DiscardFile(TPagedSheets& sheets) { DiscardOutputFile(DocumentFile(sheets).File); }

std::string FileFailure(const TPagedSheets& sheets) { return DocumentFile(sheets).File.Error; }

void ReleaseFile(TPagedSheets& sheets) {
  TDocumentFile* document = &DocumentFile(sheets);
  DiscardOutputFile(document->File);
  delete document;
  sheets.Output = nullptr;
}

const TPagedOutput DocumentFileOutput = {
    PrepareFile, MakeFileSurface, WriteFile, CommitFile, DiscardFile, FileFailure, ReleaseFile,
};

}  // namespace

bool OpenDocumentFile(TDeviceContext* dc, TDocumentSurfaceMaker maker) {
  if (!LoadGraphicsLibraries()) return false;
  auto* document = new TDocumentFile{dc->Port, maker, TOutputFile{}};
  TSheets sheets = NewPagedSheets(dc->Geometry, &DocumentFileOutput, document);
  std::string failure;
  if (!CreateOutputFile(document->File, dc->Port, failure)) {
    DiagnoseRefusedOutput(dc->Device, dc->Driver, dc->Port, failure);
    sheets.Kind->Release(sheets);
    return false;
  }
  AttachCairoCanvas(dc, sheets);
  return true;
}

}  // namespace tolvane
