#include "device/linux/commit_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <zlib.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "device/linux/hidden_files.h"
#include "os/linux/termination.h"

namespace tolvane {

const char CommitRecordMark[] = ".tolvane-commit.";

namespace {

const char FirstLine[] = "tolvane commit record 1";

// Names may hold any byte but the slash; spaces, control bytes and the
// percent sign are written as %XX, so that one entry is one line of fields.
std::string Escaped(const std::string& name) {
  std::string text;
  for (unsigned char c : name) {
    if (c <= ' ' || c == '%' || c == 0x7F) {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", c);
      text += code;
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescaped(const std::string& text, std::string& name) {
  name.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      name += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexDigit(text[i + 1]), low = HexDigit(text[i + 2]);
    if (high < 0 || low < 0) return false;
    name += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

uint32_t Checksum(const std::string& text) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

bool ReadNumber(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

// A target is a plain name of the directory; the hidden names are the
// owner's own, so that no record can move other files.
bool EntryIsSound(const TCommitEntry& entry, const std::string& owner, std::string& failure) {
  if (entry.Target.empty() || entry.Target == "." || entry.Target == ".." ||
      entry.Target.find_first_of(std::string("/\0", 2)) != std::string::npos ||
      !HiddenFileOwner(entry.Target).empty() || IsCommitRecordName(entry.Target)) {
    failure = "the target '" + entry.Target + "' is no plain file name";
    return false;
  }
  for (const std::string* name : {&entry.Hidden, &entry.Kept}) {
    if (name->find('\0') != std::string::npos || HiddenFileOwner(*name) != owner) {
      failure = "'" + *name + "' is no hidden file of process " + owner;
      return false;
    }
  }
  if (entry.NewInode == 0) {
    failure = "the new file of " + entry.Target + " has no inode";
    return false;
  }
  return true;
}

bool ParseEntry(const std::string& line, TCommitEntry& entry, std::string& failure) {
  std::istringstream fields(line);
  std::string word, newInode, oldInode, target, hidden, kept, extra;
  fields >> word >> newInode >> oldInode >> target >> hidden >> kept;
  if (word != "file" || kept.empty() || (fields >> extra) || !ReadNumber(newInode, entry.NewInode) ||
      !ReadNumber(oldInode, entry.OldInode) || !Unescaped(target, entry.Target) ||
      !Unescaped(hidden, entry.Hidden) || !Unescaped(kept, entry.Kept)) {
    failure = "a line is not one of a file: '" + line.substr(0, 80) + "'";
    return false;
  }
  return true;
}

std::string RandomPart() {
  // The hidden name's random part serves a record as well.
  std::string hidden = HiddenNameFor("record");
  return hidden.substr(hidden.rfind('.') + 1);
}

bool WriteAll(int descriptor, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t written = write(descriptor, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

bool IsCommitRecordName(const std::string& name) {
  return name.rfind(CommitRecordMark, 0) == 0 && !HiddenFileOwner(name, CommitRecordMark).empty();
}

std::string FormatCommitRecord(const TCommitRecord& record) {
  std::string text = std::string(FirstLine) + "\nowner " + Escaped(record.Owner) + "\n";
  for (const TCommitEntry& entry : record.Entries)
    text += "file " + std::to_string(entry.NewInode) + " " + std::to_string(entry.OldInode) + " " +
            Escaped(entry.Target) + " " + Escaped(entry.Hidden) + " " + Escaped(entry.Kept) + "\n";
  char end[64];
  std::snprintf(end, sizeof end, "end %zu %08" PRIx32 "\n", record.Entries.size(), Checksum(text));
  return text + end;
}

bool ParseCommitRecord(const std::string& text, TCommitRecord& record, std::string& failure) {
  record = TCommitRecord{};
  size_t last = text.size() >= 2 ? text.rfind('\n', text.size() - 2) : std::string::npos;
  if (text.empty() || text.back() != '\n' || last == std::string::npos) {
    failure = "it is cut short";
    return false;
  }
  std::string body = text.substr(0, last + 1);
  unsigned long count = 0;
  uint32_t sum = 0;
  char tail = 0;
  if (std::sscanf(text.c_str() + last + 1, "end %lu %8" SCNx32 "%c", &count, &sum, &tail) != 3 ||
      tail != '\n' || sum != Checksum(body)) {
    failure = "its end or its checksum is wrong";
    return false;
  }
  std::istringstream lines(body);
  std::string line, owner;
  if (!std::getline(lines, line) || line != FirstLine || !std::getline(lines, line) ||
      line.rfind("owner ", 0) != 0 || !Unescaped(line.substr(6), owner) ||
      HiddenFileOwner(".x.tolvane." + owner + ".x") != owner) {
    failure = "it does not begin as a record of this program does";
    return false;
  }
  record.Owner = owner;
  while (std::getline(lines, line)) {
    TCommitEntry entry;
    if (!ParseEntry(line, entry, failure) || !EntryIsSound(entry, owner, failure)) return false;
    record.Entries.push_back(entry);
  }
  if (record.Entries.size() != count) {
    failure = "it counts " + std::to_string(count) + " files but lists " +
              std::to_string(record.Entries.size());
    return false;
  }
  return true;
}

// Written under a hidden name, locked before anyone can see it as a record,
// and named a record only once it is whole and synced.
bool WriteCommitRecord(int directory, const std::string& path, const TCommitRecord& record,
                       TCommitRecordFile& file, std::string& failure) {
  std::string owner = OwnHiddenOwner();
  std::string random = RandomPart();
  std::string unfinished = ".record.tolvane." + owner + "." + random;
  file.Directory = directory;
  file.Name = std::string(CommitRecordMark) + owner + "." + random;
  file.Descriptor = openat(directory, unfinished.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  bool done = file.Descriptor >= 0 && flock(file.Descriptor, LOCK_EX) == 0 &&
              WriteAll(file.Descriptor, FormatCommitRecord(record)) && fsync(file.Descriptor) == 0 &&
              fsync(directory) == 0 &&
              renameat(directory, unfinished.c_str(), directory, file.Name.c_str()) == 0 &&
              fsync(directory) == 0;
  if (done) return true;
  failure = "cannot write the record of the files' commit in " + path + ": " + std::strerror(errno);
  if (file.Descriptor >= 0) unlinkat(directory, unfinished.c_str(), 0);
  if (file.Descriptor >= 0) close(file.Descriptor);
  file.Descriptor = -1;
  return false;
}

void RemoveCommitRecord(TCommitRecordFile& file) {
  if (file.Descriptor < 0) return;
  unlinkat(file.Directory, file.Name.c_str(), 0);
  close(file.Descriptor);
  file.Descriptor = -1;
}

}  // namespace tolvane
