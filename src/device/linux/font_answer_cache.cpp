// The cache of fontconfig's answers: one text file, a line a record, fields
// separated by tabs:
//
//   tolvane font answers 1
//   program NAME                  what fontconfig's rules may test the
//   env NAME VALUE / unset NAME   program and the environment by
//   source PATH STAMP             every file and directory answers rest on
//   answer REQUEST... ANSWER... STAMP-OF-THE-FONT-FILE
//   end
//
// A cache that cannot be read or written costs only the time fontconfig
// takes; nothing about it is ever said, as it is no failure.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "device/linux/font_answers.h"

namespace tolvane {

namespace {

const char Header[] = "tolvane font answers 1\n";
const char Trailer[] = "end\n";
constexpr size_t LargestFile = 1 << 20;
constexpr size_t MostAnswers = 64;
// Answers a process writes at most: a report uses a few faces, and one that
// asks for many weights should not rewrite the file for each.
constexpr int MostWrites = 8;
// A source changed this shortly before fontconfig started may have been
// read half-way; file times may also lag the clock by a tick.
constexpr int64_t SettleNanoseconds = 2000000000;

// What fontconfig reads of the environment: where its configuration and
// fonts are, and the language that the default substitution adds; and where
// the library itself is found.
const char* const EnvironmentNames[] = {
    "FONTCONFIG_FILE", "FONTCONFIG_PATH", "FONTCONFIG_SYSROOT", "FC_LANG",
    "LC_ALL",          "LC_CTYPE",        "LANG",               "LANGUAGE",
    "HOME",            "XDG_CONFIG_HOME", "XDG_DATA_HOME",      "XDG_CACHE_HOME",
    "XDG_CONFIG_DIRS", "XDG_DATA_DIRS",   "LD_LIBRARY_PATH",
};

// Fields may hold any byte but the three that the format gives a meaning.
std::string Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '\\') escaped += "\\\\";
    else if (c == '\t') escaped += "\\t";
    else if (c == '\n') escaped += "\\n";
    else escaped += c;
  }
  return escaped;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\t') {
      fields.emplace_back();
    } else if (c == '\\' && i + 1 < line.size()) {
      char next = line[++i];
      fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next;
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

std::string Record(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) {
    if (&field != &fields.front()) line += '\t';
    line += Escaped(field);
  }
  return line + '\n';
}

// The opening of every file written in this environment.
std::string EnvironmentRecords() {
  std::string text = Header;
  text += Record({"program", program_invocation_short_name});
  for (const char* name : EnvironmentNames) {
    const char* value = std::getenv(name);
    text += value ? Record({"env", name, value}) : Record({"unset", name});
  }
  return text;
}

bool ReadNumber(const std::string& text, long long& number) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  number = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0';
}

// The request and answer of an answer record (after its first field), and
// the stamp of the answer's font file.
bool ReadAnswer(const std::vector<std::string>& fields, TCachedAnswer& cached,
                std::string& stamp) {
  long long weight, italic, index, faceWeight, upright, embolden;
  if (fields.size() != 11 || !ReadNumber(fields[2], weight) || !ReadNumber(fields[3], italic) ||
      !ReadNumber(fields[5], index) || !ReadNumber(fields[7], faceWeight) ||
      !ReadNumber(fields[8], upright) || !ReadNumber(fields[9], embolden))
    return false;
  cached.Request = TFontRequest{fields[1], int32_t(weight), italic != 0};
  cached.Answer = TFontAnswer{fields[4], int(index), fields[6], int(faceWeight), upright != 0,
                              embolden != 0};
  stamp = fields[10];
  return true;
}

std::string AnswerRecord(const TCachedAnswer& cached, const std::string& stamp) {
  const TFontRequest& request = cached.Request;
  const TFontAnswer& answer = cached.Answer;
  return Record({"answer", request.Name, std::to_string(request.Weight),
                 std::to_string(int(request.Italic)), answer.File, std::to_string(answer.Index),
                 answer.Family, std::to_string(answer.Weight), std::to_string(int(answer.Upright)),
                 std::to_string(int(answer.Embolden)), stamp});
}

bool ReadWhole(const std::string& path, std::string& text) {
  int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  char block[16384];
  ssize_t count;
  while ((count = read(file, block, sizeof block)) > 0 && text.size() <= LargestFile)
    text.append(block, size_t(count));
  close(file);
  return count == 0 && text.size() <= LargestFile;
}

// The records between the environment's and the trailer, when the file has
// both: a file cut short is not taken in part.
bool ReadRecords(const std::string& path, std::vector<std::string>& records) {
  std::string text, opening = EnvironmentRecords();
  size_t trailer = sizeof Trailer - 1;
  if (!ReadWhole(path, text) || text.size() < opening.size() + trailer ||
      text.compare(0, opening.size(), opening) != 0 ||
      text.compare(text.size() - trailer, trailer, Trailer) != 0)
    return false;
  for (size_t start = opening.size(), end; start < text.size() - trailer; start = end + 1) {
    end = text.find('\n', start);
    records.push_back(text.substr(start, end - start));
  }
  return true;
}

bool StatPath(const std::string& path, struct stat& status) {
  return stat(path.c_str(), &status) == 0;
}

int64_t ModifiedNanoseconds(const struct stat& status) {
  return int64_t(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

// The stamps of the sources and of the answers' files, in that order;
// false when one of them may have changed while fontconfig read it.
bool SettledStamps(const TFontAnswerCache& cache, timespec started,
                   std::vector<std::string>& stamps) {
  int64_t settled = int64_t(started.tv_sec) * 1000000000 + started.tv_nsec - SettleNanoseconds;
  std::vector<const std::string*> paths;
  for (const std::string& source : cache.Sources) paths.push_back(&source);
  for (const TCachedAnswer& cached : cache.Answers) paths.push_back(&cached.Answer.File);
  for (const std::string* path : paths) {
    struct stat status;
    if (StatPath(*path, status) && ModifiedNanoseconds(status) >= settled) return false;
    stamps.push_back(PathStamp(*path));
  }
  return true;
}

bool MakeDirectory(const std::string& path) {
  return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteAll(int file, const std::string& text) {
  size_t written = 0;
  while (written < text.size()) {
    ssize_t count = write(file, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    written += size_t(count);
  }
  return true;
}

// Beside the file under a name of its own, then renamed over it: a reader
// sees the old file or the new one, never a part.
bool ReplaceFile(const std::string& path, const std::string& text) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return false;
  std::string directory = path.substr(0, slash);
  size_t parent = directory.find_last_of('/');
  if (parent != std::string::npos && parent > 0) MakeDirectory(directory.substr(0, parent));
  if (!MakeDirectory(directory)) return false;
  std::string temporary = path + ".XXXXXX";
  int file = mkstemp(temporary.data());
  if (file < 0) return false;
  bool written = WriteAll(file, text);
  if (close(file) != 0) written = false;
  if (written && rename(temporary.c_str(), path.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

struct TProcessAnswers {
  bool Read = false;
  std::string Path;
  std::vector<TCachedAnswer> Answers;
  int Writes = 0;
};

TProcessAnswers& ProcessAnswers() {
  static TProcessAnswers answers;
  if (!answers.Read) {
    answers.Read = true;
    answers.Path = FontAnswerCachePath();
    if (!answers.Path.empty()) answers.Answers = ReadFontAnswers(answers.Path);
  }
  return answers;
}

bool SameRequest(const TFontRequest& a, const TFontRequest& b) {
  return a.Name == b.Name && a.Weight == b.Weight && a.Italic == b.Italic;
}

void KeepAnswer(TProcessAnswers& process, const TFontRequest& request,
                const TFontAnswer& answer) {
  if (process.Answers.size() >= MostAnswers) process.Answers.erase(process.Answers.begin());
  process.Answers.push_back(TCachedAnswer{request, answer});
  if (process.Path.empty() || process.Writes >= MostWrites) return;
  process.Writes++;
  TFontAnswerCache cache{FontconfigSources(), process.Answers};
  WriteFontAnswers(process.Path, cache, FontconfigStarted());
}

}  // namespace

std::string PathStamp(const std::string& path) {
  struct stat status;
  if (!StatPath(path, status)) return "missing " + std::to_string(errno);
  std::string stamp;
  for (long long number :
       {(long long)status.st_dev, (long long)status.st_ino, (long long)status.st_mode,
        (long long)status.st_size, (long long)status.st_mtim.tv_sec,
        (long long)status.st_mtim.tv_nsec, (long long)status.st_ctim.tv_sec,
        (long long)status.st_ctim.tv_nsec}) {
    if (!stamp.empty()) stamp += ' ';
    stamp += std::to_string(number);
  }
  return stamp;
}

std::string FontAnswerCachePath() {
  const char* cacheHome = std::getenv("XDG_CACHE_HOME");
  if (cacheHome && cacheHome[0] == '/') return std::string(cacheHome) + "/tolvane/fonts";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.cache/tolvane/fonts";
  return "";
}

std::vector<TCachedAnswer> ReadFontAnswers(const std::string& path) {
  std::vector<std::string> records;
  if (!ReadRecords(path, records)) return {};
  std::vector<TCachedAnswer> answers;
  for (const std::string& record : records) {
    std::vector<std::string> fields = Fields(record);
    TCachedAnswer cached;
    std::string stamp;
    if (fields[0] == "source" && fields.size() == 3) {
      if (PathStamp(fields[1]) != fields[2]) return {};
    } else if (fields[0] == "answer" && ReadAnswer(fields, cached, stamp)) {
      if (PathStamp(cached.Answer.File) == stamp) answers.push_back(cached);
    } else {
      return {};
    }
  }
  return answers;
}

bool WriteFontAnswers(const std::string& path, const TFontAnswerCache& cache, timespec started) {
  std::vector<std::string> stamps;
  if (!SettledStamps(cache, started, stamps)) return false;
  std::string text = EnvironmentRecords();
  size_t next = 0;
  for (const std::string& source : cache.Sources)
    text += Record({"source", source, stamps[next++]});
  for (const TCachedAnswer& cached : cache.Answers) text += AnswerRecord(cached, stamps[next++]);
  return ReplaceFile(path, text + Trailer);
}

bool FontAnswersKept() { return !ProcessAnswers().Answers.empty(); }

bool FindFontAnswer(const TFontRequest& request, TFontAnswer& answer) {
  TProcessAnswers& process = ProcessAnswers();
  for (const TCachedAnswer& cached : process.Answers) {
    if (!SameRequest(cached.Request, request)) continue;
    answer = cached.Answer;
    return true;
  }
  if (!AskFontconfig(request, answer)) return false;
  KeepAnswer(process, request, answer);
  return true;
}

}  // namespace tolvane
