// The output of a canvas's documents that go to one file at the port's
// path, or to standard output for "-".
#include "device/pdf/canvas_file.h"

#include "device/linux/lazy_graphics.h"
#include "device/linux/output_file.h"
#include "device/pdf/pdf_canvas.h"

namespace tolvane {

namespace {

struct TPdfFile {
  std::string Port;
  TOutputFile File;
};

TPdfFile& PdfFile(void* output) { return *static_cast<TPdfFile*>(output); }

// The first document has the file that the context's opening started; a
// later one on the same context starts its own.
bool PrepareFile(void* output, std::string& failure) {
  TPdfFile& document = PdfFile(output);
  return OutputFileIsOpen(document.File) ||
         CreateOutputFile(document.File, document.Port, failure);
}

bool WriteFile(void* output, const void* data, size_t size) {
  return WriteOutputFile(PdfFile(output).File, data, size);
}

bool CommitFile(void* output, std::string& failure) {
  return CommitOutputFile(PdfFile(output).File, failure);
}

void DiscardFile(void* output) { DiscardOutputFile(PdfFile(output).File); }

std::string FileFailure(const void* output) {
  return static_cast<const TPdfFile*>(output)->File.Error;
}

void ReleaseFile(void* output) {
  DiscardOutputFile(PdfFile(output).File);
  delete &PdfFile(output);
}

const TPdfOutput PdfFileOutput = {
    PrepareFile, NoPdfBeginning, WriteFile, CommitFile, DiscardFile, FileFailure, ReleaseFile,
};

}  // namespace

bool OpenCanvasFile(TDeviceContext* dc, const TPdfFormat* format) {
  if (!LoadPdfLibraries()) return false;
  auto* document = new TPdfFile{dc->Port, TOutputFile{}};
  std::string failure;
  if (!CreateOutputFile(document->File, dc->Port, failure)) {
    DiagnoseRefusedOutput(dc->Device, dc->Driver, dc->Port, failure);
    delete document;
    return false;
  }
  AttachPdfCanvas(dc, &PdfFileOutput, document, format);
  return true;
}

}  // namespace tolvane
