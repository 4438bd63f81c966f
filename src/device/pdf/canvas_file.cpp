// The output of a canvas's documents that go to one file at the port's
// path, or to standard output for "-".
#include "device/pdf/canvas_file.h"

#include "device/pdf/document_file.h"
#include "device/pdf/pdf_canvas.h"

namespace tolvane {

namespace {

struct TPdfFile {
  std::string Port;
  TDocumentFile* File;
  void (*Committed)(const std::string& path);
};

TPdfFile& Document(void* output) { return *static_cast<TPdfFile*>(output); }

// The first document has the file that the context's opening started; a
// later one on the same context starts its own.
bool PrepareFile(void* output, std::string& failure) {
  TPdfFile& document = Document(output);
  return DocumentFileIsOpen(*document.File) ||
         CreateDocumentFile(*document.File, document.Port, failure);
}

bool WriteFile(void* output, const void* data, size_t size) {
  return WriteDocumentFile(*Document(output).File, data, size);
}

bool CommitFile(void* output, std::string& failure) {
  TPdfFile& document = Document(output);
  if (!CommitDocumentFile(*document.File, failure)) return false;
  if (document.Committed) document.Committed(document.Port);
  return true;
}

void DiscardFile(void* output) { DiscardDocumentFile(*Document(output).File); }

std::string FileFailure(const void* output) {
  return DocumentFileFailure(*static_cast<const TPdfFile*>(output)->File);
}

void ReleaseFile(void* output) {
  DeleteDocumentFile(Document(output).File);
  delete &Document(output);
}

const TPdfOutput PdfFileOutput = {
    PrepareFile, NoPdfBeginning, WriteFile, CommitFile, DiscardFile, FileFailure, ReleaseFile,
};

}  // namespace

bool OpenCanvasFile(TDeviceContext* dc, const TPdfFormat* format) {
  return OpenCanvasFileAt(dc, format, dc->Port, nullptr);
}

bool OpenCanvasFileAt(TDeviceContext* dc, const TPdfFormat* format, const std::string& target,
                      void (*committed)(const std::string& path)) {
  if (!LoadPdfLibraries()) return false;
  auto* document = new TPdfFile{target, NewDocumentFile(), committed};
  std::string failure;
  if (!CreateDocumentFile(*document->File, target, failure)) {
    DiagnoseRefusedOutput(dc->Device, dc->Driver, target, failure);
    DeleteDocumentFile(document->File);
    delete document;
    return false;
  }
  AttachPdfCanvas(dc, &PdfFileOutput, document, format);
  return true;
}

}  // namespace tolvane
