// Private profiles: INI files read through a per-path cache. Until the job
// asks for revalidation every lookup checks the file with a single stat, so
// that an edit is seen at once without parsing the file again for every key.
// Once a job revalidates at its start and at each sheet, a file is checked
// at most once per sheet, or again after 100 ms on a slow sheet: a report
// with an escape sequence on every line otherwise spends a good part of its
// time in stat.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <string_view>
#include <unordered_map>

#include "os/linux/profile_file.h"
#include "os/win32.h"

namespace tolvane {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Names are hashed and compared without regard to ASCII case, so that a
// lookup finds its entry as the caller spelled it, without a lower-cased copy.
struct TNameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const {
    uint64_t hash = 14695981039346656037ull;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(LowerAscii(c))) * 1099511628211ull;
    return static_cast<size_t>(hash);
  }
};

struct TNameEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
  }
};

template <typename TValue>
using TNameMap = std::unordered_map<std::string, TValue, TNameHash, TNameEqual>;

typedef TNameMap<std::string> TProfileKeys;

struct TParsedProfile {
  TNameMap<TProfileKeys> Sections;
};

// What identifies one state of a file: any change of content moves at least
// one of these (an edit in place keeps the inode but moves the mtime, a
// replacement by rename moves the inode).
struct TFileIdentity {
  dev_t Device;
  ino_t Inode;
  off_t Size;
  time_t ModifiedSeconds;
  long ModifiedNanoseconds;
};

// One lookup as the caller spelled it and what it found (null: nothing).
// A report asks for the same few escape letters all along, and comparing
// the names as given is much cheaper than hashing them.
constexpr size_t RecentNameSize = 16;
struct TRecentLookup {
  char Section[RecentNameSize];
  char Key[RecentNameSize];
  const std::string* Value;
};
constexpr int RecentLookupCount = 4;

// A missing file is remembered too, so that it is not looked for again
// within the same sheet. The recent lookups hold only while the parsed file
// stays the same.
struct TCachedProfile {
  bool Present = false;
  TFileIdentity Identity{};
  TParsedProfile Profile;
  uint64_t CheckedRound = 0;
  int64_t CheckedAtMs = 0;
  TRecentLookup Recent[RecentLookupCount]{};
  int RecentCount = 0;
  int RecentNext = 0;
};

std::map<std::string, TCachedProfile> ProfileCache;

// A job asks about one file again and again: its entry is kept at hand, so
// that a lookup does not search the cache by the whole path. Entries of a
// std::map stay where they are until erased.
std::string LastPath;
TCachedProfile* LastProfile = nullptr;

// Round 0 means no job has asked for revalidation: every lookup checks.
uint64_t RevalidationRound = 0;
constexpr int64_t RecheckAfterMs = 100;

// The coarse clock is read without a system call and is fine enough for a
// tenth of a second.
int64_t MonotonicMs() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool CheckedLately(const TCachedProfile& cached) {
  return RevalidationRound != 0 && cached.CheckedRound == RevalidationRound &&
         MonotonicMs() - cached.CheckedAtMs < RecheckAfterMs;
}

const char* const Blanks = " \t";

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(Blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(Blanks);
  return text.substr(first, last - first + 1);
}

std::string Unquote(const std::string& value) {
  if (value.size() < 2) return value;
  char first = value.front();
  if ((first == '"' || first == '\'') && value.back() == first) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Keys of a repeated section header go nowhere: only the first section of a
// name is ever searched.
TProfileKeys* OpenSection(TParsedProfile& profile, const std::string& line) {
  size_t close = line.find(']');
  std::string name = Trim(line.substr(1, close - 1));
  auto [entry, inserted] = profile.Sections.try_emplace(name);
  return inserted ? &entry->second : nullptr;
}

void AddKey(TProfileKeys& keys, const std::string& line) {
  size_t equals = line.find('=');
  std::string name = Trim(line.substr(0, equals));
  if (name.empty()) return;
  std::string value;
  if (equals != std::string::npos) value = Unquote(Trim(line.substr(equals + 1)));
  // A NUL byte in the file ends the value as the caller will see it anyway.
  value.resize(std::strlen(value.c_str()));
  keys.try_emplace(name, value);  // the first of a repeated key wins
}

void ParseLine(TParsedProfile& profile, TProfileKeys*& current, const std::string& raw) {
  std::string line = Trim(raw);
  if (line.empty() || line[0] == ';') return;
  if (line[0] == '[') {
    if (line.find(']') != std::string::npos) current = OpenSection(profile, line);
    return;
  }
  if (current != nullptr) AddKey(*current, line);
}

TParsedProfile ParseProfile(const std::string& text) {
  TParsedProfile profile;
  TProfileKeys* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    size_t length = end - start;
    if (length > 0 && text[end - 1] == '\r') --length;
    ParseLine(profile, current, text.substr(start, length));
    start = end + 1;
  }
  return profile;
}

TFileIdentity IdentityOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec, info.st_mtim.tv_nsec};
}

bool SameIdentity(const TFileIdentity& a, const TFileIdentity& b) {
  return a.Device == b.Device && a.Inode == b.Inode && a.Size == b.Size &&
         a.ModifiedSeconds == b.ModifiedSeconds && a.ModifiedNanoseconds == b.ModifiedNanoseconds;
}

bool ReadAll(int fd, std::string& text) {
  char chunk[65536];
  for (;;) {
    ssize_t got = read(fd, chunk, sizeof chunk);
    if (got == 0) return true;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    text.append(chunk, static_cast<size_t>(got));
  }
}

// The identity is taken from the open descriptor, so that it describes the
// very file that was read even when the path is replaced meanwhile. Only
// regular files count: a directory or a pipe is no profile.
bool LoadProfile(const char* path, TCachedProfile& loaded) {
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  std::string text;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadAll(fd, text);
  close(fd);
  if (!ok) return false;
  loaded.Identity = IdentityOf(info);
  loaded.Profile = ParseProfile(text);
  return true;
}

void CheckProfile(const char* path, TCachedProfile& cached) {
  cached.CheckedRound = RevalidationRound;
  cached.CheckedAtMs = MonotonicMs();
  struct stat info;
  bool regular = stat(path, &info) == 0 && S_ISREG(info.st_mode);
  if (regular && cached.Present && SameIdentity(cached.Identity, IdentityOf(info))) return;
  cached.RecentCount = 0;
  cached.RecentNext = 0;
  TCachedProfile loaded;
  if (!regular || !LoadProfile(path, loaded)) {
    cached.Present = false;
    cached.Profile = TParsedProfile{};
    return;
  }
  cached.Present = true;
  cached.Identity = loaded.Identity;
  cached.Profile = std::move(loaded.Profile);
}

TCachedProfile& CachedProfileAt(const char* path) {
  if (LastProfile == nullptr || std::strcmp(LastPath.c_str(), path) != 0) {
    LastProfile = &ProfileCache[path];
    LastPath = path;
  }
  return *LastProfile;
}

// Copies a name into place when it fits, and says whether it did.
bool KeepName(char (&place)[RecentNameSize], const char* name) {
  size_t length = std::strlen(name);
  if (length >= RecentNameSize) return false;
  std::memcpy(place, name, length + 1);
  return true;
}

bool SameText(const char* kept, const char* name) {
  for (; *kept == *name; ++kept, ++name)
    if (*kept == 0) return true;
  return false;
}

const TRecentLookup* RecentLookup(const TCachedProfile& cached, const char* section,
                                  const char* key) {
  for (int i = 0; i < cached.RecentCount; ++i) {
    const TRecentLookup& recent = cached.Recent[i];
    if (SameText(recent.Key, key) && SameText(recent.Section, section)) return &recent;
  }
  return nullptr;
}

void RememberLookup(TCachedProfile& cached, const char* section, const char* key,
                    const std::string* value) {
  TRecentLookup& recent = cached.Recent[cached.RecentNext];
  if (!KeepName(recent.Section, section) || !KeepName(recent.Key, key)) return;
  recent.Value = value;
  cached.RecentNext = (cached.RecentNext + 1) % RecentLookupCount;
  if (cached.RecentCount < RecentLookupCount) ++cached.RecentCount;
}

const std::string* LookUpParsed(const TParsedProfile& profile, const char* section,
                                const char* key) {
  auto keys = profile.Sections.find(std::string_view(section));
  if (keys == profile.Sections.end()) return nullptr;
  auto entry = keys->second.find(std::string_view(key));
  return entry == keys->second.end() ? nullptr : &entry->second;
}

}  // namespace

void RevalidateProfiles() { ++RevalidationRound; }

void CheckProfilesOnEveryLookup() { RevalidationRound = 0; }

void ForgetProfile(const std::string& path) {
  if (LastProfile != nullptr && LastPath == path) LastProfile = nullptr;
  ProfileCache.erase(path);
}

const std::string* FindProfileText(const char* path, const char* section, const char* key) {
  if (path == nullptr || section == nullptr || key == nullptr) return nullptr;
  TCachedProfile& cached = CachedProfileAt(path);
  if (!CheckedLately(cached)) CheckProfile(path, cached);
  if (!cached.Present) return nullptr;
  if (const TRecentLookup* recent = RecentLookup(cached, section, key)) return recent->Value;
  const std::string* value = LookUpParsed(cached.Profile, section, key);
  RememberLookup(cached, section, key, value);
  return value;
}

bool FindProfileValue(const char* path, const char* section, const char* key,
                      std::string& value) {
  const std::string* text = FindProfileText(path, section, key);
  if (text == nullptr) return false;
  value = *text;
  return true;
}

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
  return TNameEqual()(a, b);
}

DWORD CopyProfileString(std::string_view text, LPSTR buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return 0;
  size_t count = text.size() < size ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), count);
  buffer[count] = '\0';
  return static_cast<DWORD>(count);
}

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue,
                               LPSTR buffer, DWORD size, LPCSTR fileName) {
  const std::string* value = FindProfileText(fileName, section, key);
  if (value != nullptr && !value->empty()) return CopyProfileString(*value, buffer, size);
  return CopyProfileString(defaultValue != nullptr ? defaultValue : "", buffer, size);
}

// Unsigned arithmetic keeps an over-long number defined: it wraps at 32 bits
// instead of overflowing.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
  std::string value;
  if (!FindProfileValue(fileName, section, key, value)) return static_cast<UINT>(defaultValue);
  size_t at = 0;
  bool negative = false;
  if (at < value.size() && (value[at] == '+' || value[at] == '-')) negative = value[at++] == '-';
  if (at >= value.size() || value[at] < '0' || value[at] > '9') {
    return static_cast<UINT>(defaultValue);
  }
  UINT number = 0;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9'; ++at) {
    number = number * 10u + static_cast<UINT>(value[at] - '0');
  }
  return negative ? 0u - number : number;
}

}  // namespace tolvane
