// Output files that appear only when they are complete. A file is written
// beside its target without a name (or, where the file system cannot do
// that, under a hidden name of its own that is removed again), and takes
// the target's name only when its document ends well. Until then an older
// file at the target stays as it was, and a job that fails, is aborted or
// dies leaves nothing behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolvane {

// A file on its way to its target. Plain data: the procedures below start,
// write, park, commit and discard it, and whoever holds one ends it with
// CommitOutputFile or DiscardOutputFile. It may be moved (copied) from one
// holder to another before it is ended, so long as only one of them ends it.
struct TOutputFile {
  std::string TargetPath;
  std::string HiddenPath;  // the file's own name while it has one
  std::string Error;       // the first failure; empty while all is well
  std::vector<uint8_t> Buffer;
  int Descriptor = -1;
  int Sink = -1;  // the device or pipe at the target, for a streamed file
  bool ToStandardOutput = false;
  bool Streamed = false;  // held back and copied out when committed
};

// Starts a file for target; "-" is standard output, and a device or a pipe
// at the target is written to rather than replaced; both get the contents
// when the file is committed. A link at the target is followed, and an older
// file's permissions are kept. False, with a reason, when nothing can be
// written there (no such directory, no permission, the target is a
// directory). What file held before is discarded first.
// Says on standard error why the output of a printer cannot be opened.
void DiagnoseRefusedOutput(const std::string& device, const std::string& driver,
                           const std::string& target, const std::string& failure);

bool CreateOutputFile(TOutputFile& file, const std::string& target, std::string& failure);
// Buffered; false once anything failed (the reason is kept for the commit).
bool WriteOutputFile(TOutputFile& file, const void* data, size_t size);
// Writes out what is buffered and lets the buffer go: a finished sheet that
// waits for its commit holds nothing in memory. False once anything failed.
bool SettleOutputFile(TOutputFile& file, std::string& failure);
// Gives up the open descriptor but keeps the contents under a hidden name
// until the commit or discard: for documents of more files than a process
// may hold open.
bool ParkOutputFile(TOutputFile& file, std::string& failure);
// Gives a parked file its target's name in one step, replacing what was
// there; the file has no hidden name afterwards.
bool RenameParkedFile(TOutputFile& file, std::string& failure);
// Puts the file at its target, replacing what was there in one step.
bool CommitOutputFile(TOutputFile& file, std::string& failure);
// Forgets the file; the target is not touched.
void DiscardOutputFile(TOutputFile& file);

inline bool OutputFileIsOpen(const TOutputFile& file) {
  return file.Descriptor >= 0 || !file.HiddenPath.empty();
}
inline bool OutputFileHoldsDescriptor(const TOutputFile& file) { return file.Descriptor >= 0; }

// For a file that a scope holds, which an error may leave early: the guard
// discards the file when the scope ends, unless it was committed.
using TOutputFileGuard = std::unique_ptr<TOutputFile, void (*)(TOutputFile*)>;
TOutputFileGuard GuardOutputFile(TOutputFile& file);

// The name of sheet number of a document of one file per sheet, from the
// port's pattern: one integer conversion (%d, %03d, %i, %u with flags,
// width and precision, and %% for a percent sign) takes the number; without
// one, "-N" goes before the extension. False for a pattern with a
// conversion of another kind or with more than one.
bool SheetFileName(const std::string& pattern, int number, std::string& name);

// Makes the pattern checkable before a document starts.
bool IsSheetFilePattern(const std::string& pattern);

// How many output files a document may hold open at once: raises the
// process's limit on open files to what the system allows, and keeps some
// back for everything else.
size_t OpenOutputFileLimit();

// Whether output files are started without a name; tests turn it off to
// follow the path of file systems that cannot do it.
void SetAnonymousOutputFiles(bool enabled);

// The hidden files that this process has left and not yet removed.
size_t HiddenOutputFileCount();

// How long a device or pipe at the target may take no data before its
// output fails (a minute; tests shorten it).
void SetOutputStallLimit(int milliseconds);

}  // namespace tolvane
