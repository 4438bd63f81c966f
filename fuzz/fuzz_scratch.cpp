#include "fuzz_scratch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "device/device.h"
#include "os/linux/profile_file.h"
#include "os/win32.h"
#include "stream/fields.h"
#include "tolvane_state.h"

namespace fs = std::filesystem;

namespace {

const char ScratchVariable[] = "TOLVANE_FUZZ_SCRATCH";
const char SectionMarker[] = "\n@@@@\n";

std::string Scratch;
pid_t Child = 0;

// A stream of open_memstream writes its bytes and their count here.
struct TMemoryTrace {
  char* Bytes = nullptr;
  size_t Size = 0;
};
std::vector<std::unique_ptr<TMemoryTrace>> Traces;

// The profiles that inputs write; the fixed ones stay read.
std::vector<std::string> InputProfiles;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz harness: %s: %s\n", what.c_str(), std::strerror(errno));
  std::_Exit(2);
}

std::string ProgramPath() {
  std::error_code error;
  fs::path path = fs::read_symlink("/proc/self/exe", error);
  if (error) Fail("cannot read /proc/self/exe");
  return path.string();
}

bool RunningInScratch() {
  const char* scratch = std::getenv(ScratchVariable);
  if (scratch == nullptr || scratch[0] == '\0') return false;
  return fs::path(ProgramPath()).parent_path() == fs::path(scratch);
}

// A hard link costs nothing; a copy is needed where the scratch directory
// lies on another file system than the build.
void PlaceProgram(const std::string& program, const std::string& target) {
  if (link(program.c_str(), target.c_str()) == 0) return;
  std::error_code error;
  fs::copy_file(program, target, error);
  if (error) Fail("cannot copy " + program + " to " + target);
  fs::permissions(target, fs::perms::owner_all, error);
}

std::string Absolute(const std::string& path, const fs::path& base) {
  if (path.empty() || path[0] == '/') return path;
  return (base / path).string();
}

// Corpus directories and files, and the flags that name paths, as seen from
// the directory the fuzzer was started in.
std::vector<std::string> AbsoluteArguments(int argc, char** argv, const std::string& program) {
  fs::path base = fs::current_path();
  static const char* const PathFlags[] = {"-artifact_prefix=", "-exact_artifact_path=", "-dict="};
  std::vector<std::string> arguments{program};
  bool hasPrefix = false;
  for (int i = 1; i < argc; i++) {
    std::string argument = argv[i];
    if (argument.empty() || argument[0] != '-') {
      arguments.push_back(Absolute(argument, base));
      continue;
    }
    for (const char* flag : PathFlags) {
      size_t length = std::strlen(flag);
      if (argument.compare(0, length, flag) != 0) continue;
      argument = flag + Absolute(argument.substr(length), base);
      if (flag == PathFlags[0]) hasPrefix = true;
    }
    arguments.push_back(argument);
  }
  if (!hasPrefix) arguments.push_back("-artifact_prefix=" + base.string() + "/");
  return arguments;
}

void ForwardSignal(int signal) {
  if (Child > 0) kill(Child, signal);
}

[[noreturn]] void StartChild(const std::string& program, std::vector<std::string> arguments) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (chdir(Scratch.c_str()) != 0) Fail("cannot enter " + Scratch);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  execv(program.c_str(), pointers.data());
  Fail("cannot start " + program);
}

[[noreturn]] void SuperviseChild(const std::string& program, int argc, char** argv) {
  std::vector<std::string> arguments = AbsoluteArguments(argc, argv, program);
  struct sigaction forward {};
  forward.sa_handler = ForwardSignal;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &forward, nullptr);
  Child = fork();
  if (Child < 0) Fail("cannot fork");
  if (Child == 0) StartChild(program, arguments);
  int status = 0;
  while (waitpid(Child, &status, 0) < 0 && errno == EINTR) {
  }
  std::error_code error;
  fs::remove_all(Scratch, error);
  std::_Exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

// Nothing may wait for a person (a warning dialog), a terminal (a logo named
// /dev/stdin) or a scheduler (a printer name that is no profile entry).
void QuietEnvironment() {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  setenv("CUPS_SERVER", (Scratch + "/no-scheduler").c_str(), 1);
  setenv("TOLVANE_SYSTEM_PROFILE", (Scratch + "/system.ini").c_str(), 1);
  int null = open("/dev/null", O_RDONLY);
  if (null >= 0) {
    dup2(null, 0);
    close(null);
  }
}

std::FILE* OpenTraceInMemory(const std::string&) {
  Traces.push_back(std::make_unique<TMemoryTrace>());
  TMemoryTrace& trace = *Traces.back();
  return open_memstream(&trace.Bytes, &trace.Size);
}

void DropTraces() {
  for (const std::unique_ptr<TMemoryTrace>& trace : Traces) std::free(trace->Bytes);
  Traces.clear();
}

}  // namespace

void EnterScratch(int* argc, char*** argv, const std::string& name, std::string_view text) {
  if (RunningInScratch()) {
    Scratch = std::getenv(ScratchVariable);
    QuietEnvironment();
    if (!name.empty()) WriteScratchFile(name, text);
    return;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && tmp[0] ? tmp : "/tmp") + "/tolvane-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot make " + pattern);
  Scratch = pattern;
  setenv(ScratchVariable, Scratch.c_str(), 1);
  std::string program = ProgramPath();
  std::string placed = Scratch + "/" + fs::path(program).filename().string();
  PlaceProgram(program, placed);
  SuperviseChild(placed, *argc, *argv);
}

const std::string& ScratchDir() { return Scratch; }

void WriteScratchFile(const std::string& name, std::string_view bytes) {
  std::ofstream file(Scratch + "/" + name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) Fail("cannot write " + name);
}

void WriteScratchProfile(const std::string& name, std::string_view text) {
  static long written = 0;
  WriteScratchFile(name, text);
  std::string path = Scratch + "/" + name;
  if (std::find(InputProfiles.begin(), InputProfiles.end(), path) == InputProfiles.end())
    InputProfiles.push_back(path);
  written++;
  struct timespec times[2] = {{written, 0}, {written, 0}};
  utimensat(AT_FDCWD, path.c_str(), times, 0);
}

TInputHead CutFirstLine(std::string_view input) {
  size_t end = input.find('\n');
  if (end == std::string_view::npos) return {input, std::string_view()};
  return {input.substr(0, end), input.substr(end + 1)};
}

std::vector<std::string_view> SplitSections(const uint8_t* data, size_t size) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> sections;
  for (;;) {
    size_t at = rest.find(SectionMarker);
    if (at == std::string_view::npos) break;
    sections.push_back(rest.substr(0, at));
    rest.remove_prefix(at + std::strlen(SectionMarker));
  }
  sections.push_back(rest);
  return sections;
}

void UsePrintableArea(int horzRes, int horzSize, int vertRes, int vertSize) {
  tolvane::TPrintState& state = tolvane::PrintState;
  state.PixelsPerMmX = double(horzRes) / horzSize;
  state.PixelsPerMmY = double(vertRes) / vertSize;
  state.PageWidth = horzSize * 10;
  state.PageHeight = vertSize * 10;
  state.FirstPage = 1;
  state.LastPage = 32767;
  state.CurrentPage = 1;
  state.PageStartPending = 1;
}

void KeepTracesInMemory() { tolvane::UseTraceOpener(OpenTraceInMemory); }

std::string_view LastTrace() {
  if (Traces.empty() || Traces.back()->Bytes == nullptr) return std::string_view();
  return std::string_view(Traces.back()->Bytes, Traces.back()->Size);
}

void ResetJob() {
  // Deleting the contexts closes their streams before the bytes are freed.
  tolvane::ResetDeviceLayer();
  DropTraces();
  for (const std::string& path : InputProfiles) tolvane::ForgetProfile(path);
  tolvane::ResetJobState();
  tolvane::ForgetFields();
  // The notes kept for the job log would otherwise grow with every input.
  tolvane::ForgetRunNotes();
}
