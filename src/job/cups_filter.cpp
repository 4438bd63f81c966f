#include "job/cups_filter.h"

#include <cups/cups.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/auxv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "job/job.h"
#include "job/printer.h"
#include "os/linux/termination.h"
#include "stream/fields.h"
#include "tolvane_state.h"

extern char** environ;

namespace tolvane {

namespace {

const char FilterName[] = "tolvanetopdf";
const char DiagnosticPrefix[] = "tolvane: ";

std::string BaseName(const char* path) {
  if (path == nullptr) return std::string();
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

// The scheduler reads the filter's standard error line by line; the word
// before the colon says how it treats the line (ERROR: and WARNING: reach
// its log and the printer's state message).
void TellScheduler(const char* level, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", level, text.c_str());
  std::fflush(stderr);
}

// Page numbers as IPP allows them; more digits than an int holds are no page.
bool ReadPageNumber(const std::string& text, long& page) {
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  page = std::strtol(text.c_str(), nullptr, 10);
  return page >= 1;
}

std::string TemporaryDirectory() {
  const char* directory = std::getenv("TMPDIR");
  return directory != nullptr && directory[0] == '/' ? directory : "/tmp";
}

// A file of its own in the scheduler's temporary directory, gone again when
// its holder is done.
struct TScratchFile {
  std::string Path;
  int Descriptor = -1;
};

// The scheduler stops the filter with SIGTERM when a job is cancelled or
// the scheduler stops; it restarts the job later. What the filter made must
// not outlive it: its scratch files would pile up in the scheduler's
// directory, and pdftopdf would send the sheets printed so far on to the
// printer. These entries change only while the signals are held, so that the
// handler finds them whole; unlink and kill are safe in a handler.
constexpr int MaxScratchFiles = 2;
constexpr size_t MaxScratchPath = 4096;
char ScratchPaths[MaxScratchFiles][MaxScratchPath] = {};
volatile pid_t FinisherToStop = -1;

void EndFilterOnSignal() {
  for (const char* path : ScratchPaths)
    if (path[0] != '\0') unlink(path);
  if (FinisherToStop > 0) kill(FinisherToStop, SIGTERM);
}

void WatchForTermination() {
  static bool watching = false;
  if (watching) return;
  watching = true;
  CleanUpOnTermination(EndFilterOnSignal);
}

void NoteScratchPath(const std::string& path, bool kept) {
  for (char* entry : ScratchPaths) {
    bool same = path == entry;
    if (kept && entry[0] == '\0' && path.size() < MaxScratchPath) {
      std::memcpy(entry, path.c_str(), path.size() + 1);
      return;
    }
    if (!kept && same) entry[0] = '\0';
  }
}

bool CreateScratchFile(TScratchFile& scratch, const char* purpose) {
  std::string pattern = TemporaryDirectory() + "/" + FilterName + "-XXXXXX";
  WatchForTermination();
  HoldTermination();
  scratch.Descriptor = mkstemp(pattern.data());
  if (scratch.Descriptor >= 0) NoteScratchPath(pattern, true);
  ReleaseTermination();
  if (scratch.Descriptor < 0) {
    TellScheduler("ERROR", std::string("cannot create a file for the ") + purpose + " in " +
                               TemporaryDirectory() + ": " + std::strerror(errno));
    return false;
  }
  scratch.Path = pattern;
  return true;
}

void RemoveScratchFile(TScratchFile& scratch) {
  if (scratch.Descriptor >= 0) close(scratch.Descriptor);
  HoldTermination();
  if (!scratch.Path.empty()) {
    unlink(scratch.Path.c_str());
    NoteScratchPath(scratch.Path, false);
  }
  ReleaseTermination();
  scratch = TScratchFile{};
}

// The job reads its print file by name, so what the scheduler pipes in is
// kept in a file first.
bool KeepStandardInput(TScratchFile& scratch) {
  if (!CreateScratchFile(scratch, "print file")) return false;
  std::FILE* kept = fdopen(dup(scratch.Descriptor), "wb");
  bool ok = kept != nullptr;
  char buffer[65536];
  size_t got = 0;
  while (ok && (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
    ok = std::fwrite(buffer, 1, got, kept) == got;
  ok = ok && !std::ferror(stdin);
  if (kept != nullptr && std::fclose(kept) != 0) ok = false;
  if (!ok)
    TellScheduler("ERROR", std::string("cannot keep the print file from standard input in ") +
                               scratch.Path + ": " + std::strerror(errno));
  return ok;
}

// The file the scheduler names, taken by its full path so that changing the
// working directory does not lose it.
bool LocatePrintFile(const char* name, std::string& path) {
  char* resolved = realpath(name, nullptr);
  if (resolved == nullptr) {
    TellScheduler("ERROR", std::string("cannot find the print file ") + name + ": " +
                               std::strerror(errno));
    return false;
  }
  path = resolved;
  std::free(resolved);
  return true;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Relative logo paths are taken from the directory of the configuration as
// installed (links resolved: /etc/tolvane for the package), which is where
// the administrator keeps it and its logos.
void EnterConfigurationDirectory() {
  std::string configuration = DirectoryOf(GetProgramPath()) + "/tolvane.ini";
  char* resolved = realpath(configuration.c_str(), nullptr);
  std::string directory = DirectoryOf(resolved != nullptr ? resolved : configuration);
  std::free(resolved);
  if (chdir(directory.c_str()) != 0)
    TellScheduler("WARNING", "cannot enter the configuration's directory " + directory +
                                 " for relative logo paths: " + std::strerror(errno));
}

// The queue's name, so that the system printer profile can give each queue
// its paper in a section of that name.
std::string QueueName() {
  const char* printer = std::getenv("PRINTER");
  return printer != nullptr && printer[0] != '\0' ? printer : "PDF";
}

// What the job says on standard error becomes the scheduler's: reasons for
// the failure of a failed job, warnings of one that printed.
void ForwardDiagnostics(TScratchFile& captured, bool failed) {
  std::FILE* lines = fdopen(dup(captured.Descriptor), "rb");
  if (lines == nullptr) return;
  std::rewind(lines);
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, lines) != nullptr) {
    std::string line = buffer;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind(DiagnosticPrefix, 0) == 0) line.erase(0, sizeof DiagnosticPrefix - 1);
    if (!line.empty()) TellScheduler(failed ? "ERROR" : "WARNING", line);
  }
  std::fclose(lines);
}

// Runs the job with its standard error caught, so that every line of it can
// be marked for the scheduler once the outcome is known.
int RunJobForScheduler(const std::vector<std::string>& arguments) {
  TScratchFile captured;
  if (!CreateScratchFile(captured, "job's messages")) return ExitFailed;
  std::fflush(stderr);
  int savedError = dup(2);
  if (savedError < 0 || dup2(captured.Descriptor, 2) < 0) {
    TellScheduler("ERROR", std::string("cannot catch the job's messages: ") + std::strerror(errno));
    RemoveScratchFile(captured);
    return ExitFailed;
  }
  int code = TolvaneMain(arguments);
  std::fflush(stderr);
  dup2(savedError, 2);
  close(savedError);
  ForwardDiagnostics(captured, code != ExitPrinted);
  RemoveScratchFile(captured);
  if (code != ExitPrinted)
    TellScheduler("ERROR", "exit code " + std::to_string(code) + ": " + ExitCodeMeaning(code) +
                               "; nothing was sent to the printer");
  return code;
}

// One option as the scheduler writes it: name='value'.
void AppendOption(std::string& text, const char* name, const char* value) {
  if (!text.empty()) text += ' ';
  text += name;
  text += "='";
  for (const char* c = value; *c != '\0'; ++c) {
    if (*c == '\'' || *c == '\\') text += '\\';
    text += *c;
  }
  text += '\'';
}

// The job's options for pdftopdf, written as the scheduler writes them:
// without page-ranges, and with the sheets held at their top-left corner,
// from which everything on them is measured. (pdftopdf centres a sheet that
// differs from the queue's paper by a fraction of a point, as A4 in points
// does from a PPD's 595 by 842, and would move every glyph with it.)
std::string FinisherOptions(const char* options) {
  cups_option_t* parsed = nullptr;
  int count = cupsParseOptions(options, 0, &parsed);
  std::string text;
  for (int at = 0; at < count; ++at)
    if (std::strcmp(parsed[at].name, "page-ranges") != 0)
      AppendOption(text, parsed[at].name, parsed[at].value);
  if (cupsGetOption("position", count, parsed) == nullptr)
    AppendOption(text, "position", "top-left");
  cupsFreeOptions(count, parsed);
  return text;
}

// CUPS's own pdftopdf finishes the sheets: copies, several pages a sheet and
// the other options of the job are its work, and its marks tell the filters
// after it that the sheets are final. Tolvane has printed the page range
// already; pdftopdf and every filter after it would pick the range a second
// time out of the sheets, so it gets the options without it.
struct TFinisher {
  pid_t Process = -1;
  int SavedOutput = -1;
};

std::string FinisherPath() {
  const char* serverBin = std::getenv("CUPS_SERVERBIN");
  return std::string(serverBin != nullptr && serverBin[0] == '/' ? serverBin : "/usr/lib/cups") +
         "/filter/pdftopdf";
}

bool SpawnFinisher(const std::string& path, char** argv, int input, pid_t& process) {
  std::string options = FinisherOptions(argv[5]);
  char* arguments[] = {argv[0], argv[1], argv[2], argv[3], argv[4], options.data(), nullptr};
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return false;
  posix_spawnattr_t attributes;
  if (posix_spawnattr_init(&attributes) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return false;
  }
  // Held here until its number is noted, pdftopdf itself starts with the
  // signals open, as the scheduler gave them.
  WatchForTermination();
  HoldTermination();
  sigset_t childMask;
  sigprocmask(SIG_BLOCK, nullptr, &childMask);
  for (int number : {SIGTERM, SIGINT, SIGHUP}) sigdelset(&childMask, number);
  bool spawned = posix_spawn_file_actions_adddup2(&actions, input, 0) == 0 &&
                 posix_spawnattr_setsigmask(&attributes, &childMask) == 0 &&
                 posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK) == 0 &&
                 posix_spawn(&process, path.c_str(), &actions, &attributes, arguments, environ) == 0;
  if (spawned) FinisherToStop = process;
  ReleaseTermination();
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return spawned;
}

// Standard output goes into pdftopdf from here on.
bool StartFinisher(char** argv, TFinisher& finisher) {
  std::string path = FinisherPath();
  int pipeEnds[2];
  if (access(path.c_str(), X_OK) != 0 || pipe2(pipeEnds, O_CLOEXEC) != 0) {
    TellScheduler("ERROR", "cannot run CUPS's pdftopdf at " + path + " (from cups-filters): " +
                               std::strerror(errno));
    return false;
  }
  bool spawned = SpawnFinisher(path, argv, pipeEnds[0], finisher.Process);
  if (spawned) {
    std::fflush(stdout);
    finisher.SavedOutput = dup(1);
    dup2(pipeEnds[1], 1);
  } else {
    TellScheduler("ERROR", "cannot start CUPS's pdftopdf at " + path + ": " + std::strerror(errno));
  }
  close(pipeEnds[0]);
  close(pipeEnds[1]);
  return spawned;
}

// Ends pdftopdf's input; a job that failed sent it nothing, and it is
// stopped rather than left to complain about an empty document.
bool FinishOutput(TFinisher& finisher, bool printed) {
  std::fflush(stdout);
  if (!printed) kill(finisher.Process, SIGTERM);
  dup2(finisher.SavedOutput, 1);
  close(finisher.SavedOutput);
  int status = 0;
  while (waitpid(finisher.Process, &status, 0) < 0 && errno == EINTR) {
  }
  FinisherToStop = -1;
  if (!printed) return false;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  TellScheduler("ERROR", "CUPS's pdftopdf did not finish the sheets (status " +
                             std::to_string(status) + ")");
  return false;
}

// The first and last page of the option page-ranges (one range: "3-5", "3",
// "3-", "-5"); without the option, every page. False for anything else.
bool ReadPageRangesOption(const std::string& options, std::vector<std::string>& range,
                          std::string& ranges) {
  cups_option_t* parsed = nullptr;
  int count = cupsParseOptions(options.c_str(), 0, &parsed);
  const char* value = cupsGetOption("page-ranges", count, parsed);
  ranges = value != nullptr ? value : "";
  cupsFreeOptions(count, parsed);
  range.clear();
  if (value == nullptr) {
    range.push_back("1");
    return true;
  }
  size_t dash = ranges.find('-');
  std::string lowText = ranges.substr(0, dash);
  std::string highText = dash == std::string::npos ? lowText : ranges.substr(dash + 1);
  long low = 1, high = 0;
  bool openLow = dash != std::string::npos && lowText.empty();
  bool openHigh = dash != std::string::npos && highText.empty() && !lowText.empty();
  if (!openLow && !ReadPageNumber(lowText, low)) return false;
  if (!openHigh && !ReadPageNumber(highText, high)) return false;
  if (!openHigh && high < low) return false;
  range.push_back(std::to_string(low));
  if (!openHigh) range.push_back(std::to_string(high));
  return true;
}

}  // namespace

bool StartedAsCupsFilter(int argc, char** argv) {
  if (argc > 0 && BaseName(argv[0]) == FilterName) return true;
  return BaseName(reinterpret_cast<const char*>(getauxval(AT_EXECFN))) == FilterName;
}

int CupsFilterMain(int argc, char** argv) {
  if (argc < 6 || argc > 7) {
    TellScheduler("ERROR", "Usage: tolvanetopdf job-id user title copies options [file]");
    return 1;
  }
  std::vector<std::string> arguments(1);
  std::vector<std::string> range;
  std::string ranges;
  if (!ReadPageRangesOption(argv[5], range, ranges)) {
    TellScheduler("ERROR", "the option page-ranges=" + ranges +
                               " is not one range of pages such as 3-5");
    return 1;
  }
  arguments.insert(arguments.end(), range.begin(), range.end());
  // No warning dialog may wait for a person where nobody looks, and the
  // scheduler's log takes UTF-8 whatever language the client asked for.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("LC_ALL", "C.UTF-8", 1);
  InitializePlatform();
  LocaleDecimalSeparator = GetUserDecimalSeparator();
  TScratchFile input;
  bool haveInput = argc == 7 ? LocatePrintFile(argv[6], arguments[0])
                             : KeepStandardInput(input);
  if (argc != 7) arguments[0] = input.Path;
  bool printed = false;
  TFinisher finisher;
  if (haveInput && StartFinisher(argv, finisher)) {
    EnterConfigurationDirectory();
    ForceJobPrinter(QueueName(), "PDF", "-");
    printed = RunJobForScheduler(arguments) == ExitPrinted;
    printed = FinishOutput(finisher, printed);
  }
  RemoveScratchFile(input);
  return printed ? 0 : 1;
}

}  // namespace tolvane
