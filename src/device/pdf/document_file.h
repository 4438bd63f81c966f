// The file that a document is written to, at a port's path or on standard
// output for "-", committed the platform's way: written under no name of
// its own and put at its target in one step when the document ends well,
// so that a failed or killed job leaves no file and never touches an older
// one. The platform fills these in.
#pragma once

#include <cstddef>
#include <string>

namespace tolvane {

struct TDocumentFile;  // the platform's

// A holder with no file started; DeleteDocumentFile lets it go, discarding
// a file it still holds.
TDocumentFile* NewDocumentFile();
void DeleteDocumentFile(TDocumentFile* file);

// Starts a file for target, discarding what the holder held. False, with
// a reason, when nothing can be written there.
bool CreateDocumentFile(TDocumentFile& file, const std::string& target, std::string& failure);
// Whether a file is started and neither committed nor discarded.
bool DocumentFileIsOpen(const TDocumentFile& file);
// False once anything failed (DocumentFileFailure says why).
bool WriteDocumentFile(TDocumentFile& file, const void* data, size_t size);
// Puts the file at its target, replacing what was there in one step.
bool CommitDocumentFile(TDocumentFile& file, std::string& failure);
// Forgets the file; the target is not touched.
void DiscardDocumentFile(TDocumentFile& file);
// The first failure of the file; empty while all is well.
std::string DocumentFileFailure(const TDocumentFile& file);

// Says on standard error why the output of a printer cannot be opened.
void DiagnoseRefusedOutput(const std::string& device, const std::string& driver,
                           const std::string& target, const std::string& failure);

// Makes ready what the writers call on (font finding, compression) before
// a document's file is started. False, after a diagnostic that names what
// is missing, when the output cannot be written.
bool LoadPdfLibraries();

}  // namespace tolvane
