// The output of a canvas's documents that go to one file at the port's
// path, or to standard output for "-".
#include "device/linux/canvas_file.h"

#include "device/linux/lazy_graphics.h"
#include "device/linux/output_file.h"
#include "device/linux/pdf_canvas.h"

namespace tolvane {

namespace {

struct TPdfFile {
  std::string Port;
  TOutputFile File;
  void (*Committed)(const std::string& path);
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
  TPdfFile& document = PdfFile(output);
  if (!CommitOutputFile(document.File, failure)) return false;
  if (document.Committed) document.Committed(document.Port);
  return true;
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
  return OpenCanvasFileAt(dc, format, dc->Port, nullptr);
}

bool OpenCanvasFileAt(TDeviceContext* dc, const TPdfFormat* format, const std::string& target,
                      void (*committed)(const std::string& path)) {
  if (!LoadPdfLibraries()) return false;
  auto* document = new TPdfFile{target, TOutputFile{}, committed};
  std::string failure;
  if (!CreateOutputFile(document->File, target, failure)) {
    DiagnoseRefusedOutput(dc->Device, dc->Driver, target, failure);
    delete document;
    return false;
  }
  AttachPdfCanvas(dc, &PdfFileOutput, document, format);
  return true;
}

}  // namespace tolvane
