// The writers' document files are pending files (pending_file.h): hidden
// and marked for deletion until the document ends well.
#include "device/pdf/document_file.h"

#include "os/win32.h"
#include "os/windows/pending_file.h"

namespace tolvane {

struct TDocumentFile {
  TPendingFile File;
};

TDocumentFile* NewDocumentFile() { return new TDocumentFile{}; }

void DeleteDocumentFile(TDocumentFile* file) {
  DiscardPendingFile(file->File);
  delete file;
}

bool CreateDocumentFile(TDocumentFile& file, const std::string& target, std::string& failure) {
  DiscardPendingFile(file.File);
  file.File = TPendingFile{};
  if (target.empty()) {
    failure = "no output file is named";
    return false;
  }
  return OpenPendingFile(file.File, target, failure);
}

bool DocumentFileIsOpen(const TDocumentFile& file) { return file.File.Handle != nullptr; }

bool WriteDocumentFile(TDocumentFile& file, const void* data, size_t size) {
  return WritePendingFile(file.File, data, size);
}

bool CommitDocumentFile(TDocumentFile& file, std::string& failure) {
  return CommitPendingFile(file.File, failure);
}

void DiscardDocumentFile(TDocumentFile& file) { DiscardPendingFile(file.File); }

std::string DocumentFileFailure(const TDocumentFile& file) { return file.File.Error; }

void DiagnoseRefusedOutput(const std::string& device, const std::string& driver,
                           const std::string& target, const std::string& failure) {
  Diagnose("printer '" + device + "' (driver " + driver + ", output '" + target + "'): " + failure);
}

// Windows has its fonts, code pages and zlib at hand: nothing to load.
bool LoadPdfLibraries() { return true; }

}  // namespace tolvane
