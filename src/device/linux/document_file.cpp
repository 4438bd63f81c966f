// The writers' document files are output files (output_file.h).
#include "device/pdf/document_file.h"

#include "device/linux/output_file.h"

namespace tolvane {

struct TDocumentFile {
  TOutputFile File;
};

TDocumentFile* NewDocumentFile() { return new TDocumentFile{}; }

void DeleteDocumentFile(TDocumentFile* file) {
  DiscardOutputFile(file->File);
  delete file;
}

bool CreateDocumentFile(TDocumentFile& file, const std::string& target, std::string& failure) {
  return CreateOutputFile(file.File, target, failure);
}

bool DocumentFileIsOpen(const TDocumentFile& file) { return OutputFileIsOpen(file.File); }

bool WriteDocumentFile(TDocumentFile& file, const void* data, size_t size) {
  return WriteOutputFile(file.File, data, size);
}

bool CommitDocumentFile(TDocumentFile& file, std::string& failure) {
  return CommitOutputFile(file.File, failure);
}

void DiscardDocumentFile(TDocumentFile& file) { DiscardOutputFile(file.File); }

std::string DocumentFileFailure(const TDocumentFile& file) { return file.File.Error; }

}  // namespace tolvane
