// The record that a group of output files leaves beside its targets while
// they take their names: which hidden file goes to which name, and what is
// there before, so that a run after a kill can finish the group or take it
// back. It is written and synced, under a name of its own, before the first
// rename and removed after the last; its owner holds it locked meanwhile.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tolvane {

// One file of the group, by names inside the record's directory.
struct TCommitEntry {
  std::string Target;  // the name the new file takes
  std::string Hidden;  // the new file's hidden name; the older file's after an exchange
  std::string Kept;    // where the older file is linked when names cannot be exchanged
  uint64_t NewInode = 0;
  uint64_t OldInode = 0;  // 0: there was no older file
};

struct TCommitRecord {
  std::string Owner;  // the process that commits, as its hidden names carry it
  std::vector<TCommitEntry> Entries;
};

// Records are named ".tolvane-commit.OWNER.RANDOM".
extern const char CommitRecordMark[];
bool IsCommitRecordName(const std::string& name);

std::string FormatCommitRecord(const TCommitRecord& record);
// False, with what is wrong, for a record that is cut short, altered or
// names files that are not its owner's hidden files in its directory.
bool ParseCommitRecord(const std::string& text, TCommitRecord& record, std::string& failure);

// A record on disk, held locked by its writer until it is removed.
struct TCommitRecordFile {
  int Directory = -1;  // not owned
  std::string Name;
  int Descriptor = -1;
};

// Writes, syncs and names the record in the directory (its descriptor and
// its path, for messages); the directory is synced too, so the hidden names
// and the record outlive a power cut.
bool WriteCommitRecord(int directory, const std::string& path, const TCommitRecord& record,
                       TCommitRecordFile& file, std::string& failure);
// Removes the record and lets its lock go.
void RemoveCommitRecord(TCommitRecordFile& file);

}  // namespace tolvane
