#include "device/linux/output_group.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <map>

#include "device/linux/commit_record.h"
#include "device/linux/hidden_files.h"

namespace tolvane {

namespace {

// A file of the group, whether it replaced an older file at its target,
// and where that file is linked when names cannot be exchanged.
struct TPlaced {
  TOutputFile* File;
  bool Replaced;
  std::string Kept;
};

// A folder of the group's targets, with the record of its part.
struct TFolderRecord {
  std::string Path;
  int Descriptor = -1;
  TCommitRecord Record;
  TCommitRecordFile File;
};

uint64_t InodeOf(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TCommitEntry EntryOf(const TPlaced& placed) {
  const TOutputFile& file = *placed.File;
  return TCommitEntry{PathBaseName(file.TargetPath), PathBaseName(file.HiddenPath),
                      PathBaseName(placed.Kept), InodeOf(file.HiddenPath), InodeOf(file.TargetPath)};
}

void RemoveRecords(std::vector<TFolderRecord>& folders) {
  for (TFolderRecord& folder : folders) {
    RemoveCommitRecord(folder.File);
    if (folder.Descriptor >= 0) close(folder.Descriptor);
  }
  folders.clear();
}

// Before the first rename every folder of the group holds the record of
// its part, so that a run after a kill can settle it (interrupted_commits.h).
bool WriteRecords(const std::vector<TPlaced>& group, std::vector<TFolderRecord>& folders,
                  std::string& failure) {
  std::map<std::string, size_t> byPath;
  for (const TPlaced& placed : group) {
    std::string path = PathDirectory(placed.File->TargetPath);
    auto found = byPath.emplace(path, folders.size());
    if (found.second) folders.push_back(TFolderRecord{path, -1, TCommitRecord{OwnHiddenOwner(), {}}, {}});
    folders[found.first->second].Record.Entries.push_back(EntryOf(placed));
  }
  for (TFolderRecord& folder : folders) {
    folder.Descriptor = open(folder.Path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder.Descriptor < 0) {
      failure = "cannot open the folder " + folder.Path + ": " + std::strerror(errno);
      return false;
    }
    if (!WriteCommitRecord(folder.Descriptor, folder.Path, folder.Record, folder.File, failure))
      return false;
  }
  return true;
}

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
bool ReplaceByLink(TOutputFile& file, const std::string& kept, std::string& failure) {
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
bool Place(TOutputFile& file, const std::string& kept, bool& replaced, std::string& failure) {
  // An exchange would swap a directory made there since the start out of
  // the way, to be removed with the hidden names.
  struct stat info;
  if (stat(file.TargetPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    failure = "cannot put the output in place at " + file.TargetPath + ": it is a directory";
    return false;
  }
  replaced = true;
  if (Exchange(file.HiddenPath, file.TargetPath)) return true;
  if (errno != ENOENT && Exists(file.TargetPath)) return ReplaceByLink(file, kept, failure);
  replaced = false;
  return RenameParkedFile(file, failure);
}

// Takes the placed files back, last first: an older file returns to its
// name, a name that had none loses its file again.
void Restore(const std::vector<TPlaced>& group, size_t placed) {
  for (auto at = group.rbegin() + (group.size() - placed); at != group.rend(); ++at) {
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
// that only a kill can come between them, and the record of the group
// makes up for a kill.
bool CommitOutputFiles(std::vector<TOutputFile>& files, std::string& failure) {
  for (TOutputFile& file : files)
    if (!ParkOutputFile(file, failure)) return false;
  std::vector<TPlaced> group;
  for (TOutputFile& file : files)
    if (!file.Streamed) group.push_back(TPlaced{&file, false, HiddenNameFor(file.TargetPath)});
  HoldTermination();
  std::vector<TFolderRecord> records;
  bool done = group.size() < 2 || WriteRecords(group, records, failure);
  size_t placed = 0;
  for (TPlaced& file : group) {
    if (!done || !(done = Place(*file.File, file.Kept, file.Replaced, failure))) break;
    ++placed;
  }
  // What goes to a device or a pipe cannot be taken back: it goes last.
  for (TOutputFile& file : files)
    if (done && file.Streamed) done = CommitOutputFile(file, failure);
  if (!done) Restore(group, placed);
  RemoveRecords(records);
  ReleaseTermination();
  return done;
}

}  // namespace tolvane
