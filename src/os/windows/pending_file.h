// Output files that appear only when they are complete, on Windows. The
// file is written beside its target under a hidden name of its own, marked
// for deletion from the start, so that a job that fails, is aborted or is
// killed leaves nothing behind; only the commit takes the mark off and
// gives the file its target's name, replacing an older file in one step.
// "-" is standard output: the document is kept in a file of the temporary
// folder and copied out when it is committed.
#pragma once

#include <cstddef>
#include <string>

namespace tolvane {

struct TPendingFile {
  void* Handle = nullptr;  // the open file; null when there is none
  std::string Target;
  std::string Hidden;
  std::string Error;       // the first failure; empty while all is well
  bool ToStandardOutput = false;
};

// False, with why, when nothing can be written beside the target.
bool OpenPendingFile(TPendingFile& file, const std::string& target, std::string& why);
// False once anything failed (the reason is kept in Error).
bool WritePendingFile(TPendingFile& file, const void* data, size_t size);
bool CommitPendingFile(TPendingFile& file, std::string& why);
// Forgets the file; the target is not touched.
void DiscardPendingFile(TPendingFile& file);

}  // namespace tolvane
