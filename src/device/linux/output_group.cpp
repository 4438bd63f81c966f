#include "device/linux/output_group.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/linux/hidden_files.h"

namespace tolvane {

namespace {

// A file put at its target, and whether it replaced an older file there.
struct TPlaced {
  TOutputFile* File;
  bool Replaced;
};

bool Exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// The older file gets the new one's hidden name, and the new one its
// target's, in one step.
bool Exchange(const std::string& hidden, const std::string& target) {
  return renameat2(AT_FDCWD, hidden.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0;
}

// Where the file system cannot exchange names, the older file is linked
// to a hidden name of its own first. Where it cannot do that either, the
// older file is lost to a rollback, and only to that.
bool ReplaceByLink(TOutputFile& file, std::string& failure) {
  std::string kept = HiddenNameFor(file.TargetPath);
  bool linked = link(file.TargetPath.c_str(), kept.c_str()) == 0;
  if (linked) RememberHiddenFile(kept);
  if (!RenameParkedFile(file, failure)) {
    if (linked) unlink(kept.c_str());
    if (linked) ForgetHiddenFile(kept);
    return false;
  }
  if (linked) file.HiddenPath = kept;
  return true;
}

// Puts a parked file at its target. Afterwards the file's hidden name holds
// the older file it replaced, if there was one.
bool Place(TOutputFile& file, bool& replaced, std::string& failure) {
  // An exchange would swap a directory made there since the start out of
  // the way, to be removed with the hidden names.
  struct stat info;
  if (stat(file.TargetPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    failure = "cannot put the output in place at " + file.TargetPath + ": it is a directory";
    return false;
  }
  replaced = true;
  if (Exchange(file.HiddenPath, file.TargetPath)) return true;
  if (errno != ENOENT && Exists(file.TargetPath)) return ReplaceByLink(file, failure);
  replaced = false;
  return RenameParkedFile(file, failure);
}

// Takes the placed files back, last first: an older file returns to its
// name, a name that had none loses its file again.
void Restore(const std::vector<TPlaced>& placed) {
  for (auto at = placed.rbegin(); at != placed.rend(); ++at) {
    TOutputFile& file = *at->File;
    if (!at->Replaced) {
      unlink(file.TargetPath.c_str());
    } else if (!file.HiddenPath.empty() &&
               rename(file.HiddenPath.c_str(), file.TargetPath.c_str()) == 0) {
      ForgetHiddenFile(file.HiddenPath);
      file.HiddenPath.clear();
    }
  }
}

}  // namespace

// The slow part, writing out and syncing every file, comes first; the
// renames then follow one another with the termination signals held, so
// that only a kill can come between them.
bool CommitOutputFiles(std::vector<TOutputFile>& files, std::string& failure) {
  for (TOutputFile& file : files)
    if (!ParkOutputFile(file, failure)) return false;
  HoldTermination();
  std::vector<TPlaced> placed;
  bool done = true;
  for (TOutputFile& file : files) {
    if (file.Streamed) continue;
    bool replaced = false;
    if (!(done = Place(file, replaced, failure))) break;
    placed.push_back(TPlaced{&file, replaced});
  }
  // What goes to a device or a pipe cannot be taken back: it goes last.
  for (TOutputFile& file : files)
    if (done && file.Streamed) done = CommitOutputFile(file, failure);
  if (!done) Restore(placed);
  ReleaseTermination();
  return done;
}

}  // namespace tolvane
