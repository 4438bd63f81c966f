#include "device/linux/interrupted_commits.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "device/device.h"
#include "device/linux/commit_record.h"
#include "device/linux/hidden_files.h"
#include "os/win32.h"

namespace tolvane {

namespace {

constexpr off_t LargestRecord = 64 << 20;
// Another run tidies the folder for as long as its records take, which is
// short; a folder kept locked longer is left as it is.
constexpr auto LockPatience = std::chrono::seconds(10);

struct TFolder {
  std::string Path;
  int Descriptor;
};

// Where the files of one entry are now, by inode (0: no file).
struct TEntryNow {
  uint64_t Target, Hidden, Kept;
};

uint64_t InodeAt(const TFolder& folder, const std::string& name) {
  struct stat info;
  return fstatat(folder.Descriptor, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 ? info.st_ino : 0;
}

TEntryNow EntryNow(const TFolder& folder, const TCommitEntry& entry) {
  return TEntryNow{InodeAt(folder, entry.Target), InodeAt(folder, entry.Hidden),
                   InodeAt(folder, entry.Kept)};
}

bool NewIsThere(const TCommitEntry& entry, const TEntryNow& now) {
  return now.Target == entry.NewInode || now.Hidden == entry.NewInode;
}

// The older file (or its absence) can return to the target.
bool OldIsThere(const TCommitEntry& entry, const TEntryNow& now) {
  if (entry.OldInode == 0) return now.Target == 0 || now.Target == entry.NewInode;
  if (now.Target == entry.OldInode) return true;
  return now.Target == entry.NewInode &&
         (now.Hidden == entry.OldInode || now.Kept == entry.OldInode);
}

std::string Pid(const std::string& owner) { return owner.substr(0, owner.find_first_of("-@")); }

bool Rename(const TFolder& folder, const std::string& from, const std::string& to) {
  return renameat(folder.Descriptor, from.c_str(), folder.Descriptor, to.c_str()) == 0;
}

// Every new file takes its name; the older files go.
bool Finish(const TFolder& folder, const TCommitRecord& record, std::string& failure) {
  for (const TCommitEntry& entry : record.Entries) {
    if (InodeAt(folder, entry.Target) == entry.NewInode) continue;
    if (!Rename(folder, entry.Hidden, entry.Target)) {
      failure = "cannot put " + entry.Target + " in place: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

// Every older file returns to its name, and a name that had none loses
// its new file again.
bool TakeBack(const TFolder& folder, const TCommitRecord& record, std::string& failure) {
  for (const TCommitEntry& entry : record.Entries) {
    TEntryNow now = EntryNow(folder, entry);
    if (now.Target != entry.NewInode) continue;
    const std::string& old = now.Hidden == entry.OldInode ? entry.Hidden : entry.Kept;
    bool done = entry.OldInode == 0 ? unlinkat(folder.Descriptor, entry.Target.c_str(), 0) == 0
                                    : Rename(folder, old, entry.Target);
    if (!done) {
      failure = "cannot put the older " + entry.Target + " back: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

void RemoveLeftovers(const TFolder& folder, const TCommitRecord& record) {
  for (const TCommitEntry& entry : record.Entries) {
    unlinkat(folder.Descriptor, entry.Hidden.c_str(), 0);
    unlinkat(folder.Descriptor, entry.Kept.c_str(), 0);
  }
}

// Finishes the group when all its new files are there, takes it back when
// all the older ones are, and otherwise touches nothing. True when the
// record is done with.
bool Settle(const TFolder& folder, const std::string& name, const TCommitRecord& record) {
  size_t placed = 0, newMissing = 0, oldMissing = 0;
  for (const TCommitEntry& entry : record.Entries) {
    TEntryNow now = EntryNow(folder, entry);
    placed += now.Target == entry.NewInode;
    newMissing += !NewIsThere(entry, now);
    oldMissing += !OldIsThere(entry, now);
  }
  std::string count = std::to_string(record.Entries.size());
  std::string found = "found an interrupted commit of " + count + " files in " + folder.Path +
                      " (record " + name + ", left by process " + Pid(record.Owner) +
                      ", which no longer runs; " + std::to_string(placed) +
                      " had taken their names): ";
  std::string failure;
  if (newMissing == 0 ? !Finish(folder, record, failure)
                      : oldMissing == 0 && !TakeBack(folder, record, failure)) {
    Diagnose(found + failure + "; left the record for the next run");
    return false;
  }
  if (newMissing != 0 && oldMissing != 0) {
    Diagnose(found + std::to_string(newMissing) + " of the new files and " +
             std::to_string(oldMissing) +
             " of the older ones are gone, so it can be neither finished nor taken back: "
             "left it and its hidden files as they are");
    return false;
  }
  RemoveLeftovers(folder, record);
  fsync(folder.Descriptor);
  unlinkat(folder.Descriptor, name.c_str(), 0);
  Diagnose(found + (newMissing == 0 ? "finished it: all " + count + " new files are in place"
                                    : "took it back: the older files are in place again"));
  return true;
}

bool ReadRecord(int descriptor, std::string& text) {
  struct stat info;
  if (fstat(descriptor, &info) != 0 || info.st_size > LargestRecord) return false;
  text.resize(static_cast<size_t>(info.st_size));
  size_t done = 0;
  while (done < text.size()) {
    ssize_t got = pread(descriptor, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// Its writer holds it locked from before it is a record until it is gone;
// where locks do not work, the process itself is asked after.
bool RecordIsLive(int descriptor, const std::string& owner) {
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return true;
  return HiddenOwnerIsRunning(owner);
}

// Settles one record. False when it stays, and with it its owner's files.
bool SettleRecord(const TFolder& folder, const std::string& name) {
  std::string owner = HiddenFileOwner(name, CommitRecordMark);
  int descriptor = openat(folder.Descriptor, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (descriptor < 0) return errno == ENOENT;
  bool settled = false;
  struct stat opened, named;
  std::string text, failure;
  TCommitRecord record;
  if (RecordIsLive(descriptor, owner)) {
    settled = false;
  } else if (fstat(descriptor, &opened) != 0 ||
             fstatat(folder.Descriptor, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
             opened.st_ino != named.st_ino) {
    settled = true;  // another run settled it meanwhile
  } else if (!ReadRecord(descriptor, text) || !ParseCommitRecord(text, record, failure) ||
             record.Owner != owner) {
    if (failure.empty()) failure = "it cannot be read or names another process";
    Diagnose("found a damaged commit record " + name + " in " + folder.Path + " (" + failure +
             "): renamed nothing by it and left it, and the hidden files of process " +
             Pid(owner) + ", as they are; remove them once the files there are sorted out");
  } else {
    settled = Settle(folder, name, record);
  }
  close(descriptor);
  return settled;
}

// The owners whose records stay: their hidden files stay too.
std::set<std::string> SettleRecords(const TFolder& folder) {
  std::vector<std::string> names;
  if (DIR* listing = opendir(folder.Path.c_str())) {
    while (const dirent* entry = readdir(listing))
      if (IsCommitRecordName(entry->d_name)) names.push_back(entry->d_name);
    closedir(listing);
  }
  std::set<std::string> staying;
  for (const std::string& name : names)
    if (!SettleRecord(folder, name)) staying.insert(HiddenFileOwner(name, CommitRecordMark));
  return staying;
}

bool LockFolder(const TFolder& folder) {
  auto deadline = std::chrono::steady_clock::now() + LockPatience;
  while (flock(folder.Descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK && errno != EINTR) {
      Diagnose("cannot lock the folder " + folder.Path + " (" + std::strerror(errno) +
               "): tidies what killed jobs left there without the lock");
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Diagnose("another job has kept the folder " + folder.Path +
               " locked for 10 seconds: left what killed jobs may have left there for a later run");
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

void TidyOutputFolder(const std::string& directory) {
  static std::set<std::string> tidied;
  if (!tidied.insert(directory).second) return;
  // Messages name the folder in full: "." says nothing in a log.
  char full[PATH_MAX];
  std::string shown = realpath(directory.c_str(), full) ? full : directory;
  TFolder folder{shown, open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
  if (folder.Descriptor < 0) return;
  if (LockFolder(folder)) {
    std::set<std::string> staying = SettleRecords(folder);
    RemoveStaleHiddenFiles(shown, staying);
  }
  close(folder.Descriptor);
}

void TidyFolderOfOutput(const std::string& path) {
  if (path != "-") TidyOutputFolder(PathDirectory(path));
}

}  // namespace tolvane
