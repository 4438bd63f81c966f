// The record of a group of files taking their names, as a run after a kill
// reads it: any text at all. What it takes for a record must name only the
// owner's hidden files and plain names of the folder, and read back the same
// once written again.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "device/linux/commit_record.h"
#include "device/linux/hidden_files.h"

namespace {

[[noreturn]] void Wrong(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

void CheckEntry(const tolvane::TCommitEntry& entry, const std::string& owner) {
  if (entry.Target.empty() || entry.Target.find('/') != std::string::npos || entry.Target == "." ||
      entry.Target == "..")
    Wrong("a target outside the folder: " + entry.Target);
  if (tolvane::HiddenFileOwner(entry.Hidden) != owner || tolvane::HiddenFileOwner(entry.Kept) != owner)
    Wrong("a hidden name of another owner: " + entry.Hidden + " " + entry.Kept);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  tolvane::TCommitRecord record;
  std::string failure;
  if (!tolvane::ParseCommitRecord(text, record, failure)) return 0;
  for (const tolvane::TCommitEntry& entry : record.Entries) CheckEntry(entry, record.Owner);
  tolvane::TCommitRecord again;
  if (!tolvane::ParseCommitRecord(tolvane::FormatCommitRecord(record), again, failure))
    Wrong("a record written again does not read: " + failure);
  if (again.Entries.size() != record.Entries.size() || again.Owner != record.Owner)
    Wrong("a record written again reads differently");
  for (size_t i = 0; i < record.Entries.size(); ++i)
    if (again.Entries[i].Target != record.Entries[i].Target ||
        again.Entries[i].Hidden != record.Entries[i].Hidden ||
        again.Entries[i].NewInode != record.Entries[i].NewInode)
      Wrong("an entry written again reads differently");
  return 0;
}
