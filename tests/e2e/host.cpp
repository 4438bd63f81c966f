#include "host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

const char TraceSystemProfile[] =
    "[windows]\n"
    "device=Trace,TRACE,job.trace\n"
    "[Devices]\n"
    "Trace=TRACE,job.trace\n"
    "[Trace]\n"
    "horzsize=203\n"
    "horzres=2400\n"
    "vertsize=287\n"
    "vertres=3390\n";

std::string TraceOpening() {
  return "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\n"
         "GetDeviceCaps HORZSIZE -> 203\n"
         "GetDeviceCaps HORZRES -> 2400\n"
         "GetDeviceCaps VERTSIZE -> 287\n"
         "GetDeviceCaps VERTRES -> 3390\n"
         "StartDocA \"Tolvane_drv\"\n";
}

std::string FontLine(int height, int width, int escapement, int weight, const std::string& face,
                     int handle) {
  std::ostringstream line;
  line << "CreateFontIndirectA height=" << height << " width=" << width
       << " escapement=" << escapement << " orientation=0 weight=" << weight
       << " italic=0 underline=0 strikeout=0 charset=0 outprecision=0 clipprecision=0 quality=0"
          " pitchandfamily=0 face=\""
       << face << "\" -> F" << handle << "\n";
  return line.str();
}

const char FailureWarning[] = "Figyelem!: Hiba t\u00f6rt\u00e9nt a LOGO nyomtat\u00e1sakor!\n";
const char MissingLogoWarning[] = "Figyelem!: Logo k\u00e9pf\u00e1jl nincs meg!\n";

std::string TraceStreamStart(const std::string& face) {
  return TraceOpening() + FontLine(43, 28, 0, 0, face, 1) + "SelectObject F1 -> F0\nSetBkMode 1\n";
}

std::string TracePageStart(int oldFont, int newFont, const std::string& face) {
  return "StartPage\nSetBkMode 1\nSelectObject F0 -> F" + std::to_string(oldFont) +
         "\nDeleteObject F" + std::to_string(oldFont) + "\n" + FontLine(43, 28, 0, 0, face, newFont) +
         "SelectObject F" + std::to_string(newFont) + " -> F0\n";
}

std::string TraceClosing(int font) {
  return "SelectObject F0 -> F" + std::to_string(font) + "\nDeleteObject F" +
         std::to_string(font) + "\nEndDoc\nDeleteDC\n";
}

std::vector<std::string> TraceLines(const std::string& trace) {
  std::vector<std::string> lines;
  std::istringstream stream(trace);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

size_t CountTraceLines(const std::string& trace, const std::string& prefix) {
  size_t count = 0;
  for (const std::string& line : TraceLines(trace))
    if (line.rfind(prefix, 0) == 0) count++;
  return count;
}

std::vector<std::vector<std::string>> SheetTexts(const std::string& trace) {
  std::vector<std::vector<std::string>> sheets;
  for (const std::string& line : TraceLines(trace)) {
    if (line == "StartPage") sheets.emplace_back();
    if (line.rfind("TextOutA ", 0) == 0 && !sheets.empty()) sheets.back().push_back(line.substr(9));
  }
  return sheets;
}

void HostTest::SetUp() {
  std::string pattern = (fs::temp_directory_path() / "tolvane-host-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  directory_ = pattern;
  fs::copy_file(TOLVANE_BINARY, PathOf("tolvane"));
  fs::permissions(PathOf("tolvane"), fs::perms::owner_all);
  WriteSystemProfile(TraceSystemProfile);
  // Each test's jobs keep their font answers apart from the user's.
  setenv("XDG_CACHE_HOME", CacheHome().c_str(), 1);
  // The job log of every test run stays in the test's own directories.
  setenv("XDG_STATE_HOME", CacheHome().c_str(), 1);
}

void HostTest::TearDown() {
  std::error_code ignored;
  if (!HasFailure()) fs::remove_all(directory_, ignored);
  fs::remove_all(CacheHome(), ignored);
}

void HostTest::WriteFile(const std::string& name, const std::string& bytes) {
  std::ofstream(PathOf(name), std::ios::binary) << bytes;
}

std::string HostTest::ReadFile(const std::string& name) const {
  std::ifstream file(PathOf(name), std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

bool HostTest::FileExists(const std::string& name) const { return fs::exists(PathOf(name)); }

// The child: the job's directory as working directory, a UTF-8 console, no
// graphical session (warnings go to standard error), the test profile.
static void StartProgram(const std::string& directory, const std::string& name,
                         const std::vector<std::string>& arguments, int errors, int output,
                         int input, const std::vector<std::string>& environment = {}) {
  if (chdir(directory.c_str()) != 0) _exit(127);
  if (input >= 0) dup2(input, 0);
  // A test may give the job a graphical session of its own.
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  for (const std::string& entry : environment) putenv(strdup(entry.c_str()));
  dup2(errors, 2);
  dup2(output, 1);
  setenv("TOLVANE_SYSTEM_PROFILE", (directory + "/system.ini").c_str(), 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  std::string program = directory + "/" + name;
  std::vector<char*> argv = {program.data()};
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

static int WaitStatus(pid_t child, int seconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return status;
}

static int WaitForProgram(pid_t child) {
  int status = WaitStatus(child, 60);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

pid_t HostTest::Start(const std::vector<std::string>& arguments,
                      const std::vector<std::string>& environment) {
  int errors = open(PathOf("stderr.txt").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  int output = open(PathOf("stdout.txt").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  pid_t child = fork();
  if (child == 0) StartProgram(directory_, "tolvane", arguments, errors, output, -1, environment);
  close(errors);
  close(output);
  return child;
}

int HostTest::Wait(pid_t job, int seconds) { return WaitStatus(job, seconds); }

TJobResult HostTest::Run(const std::vector<std::string>& arguments, const std::string& program) {
  std::error_code ignored;
  fs::remove(PathOf("job.trace"), ignored);
  int errors = open(PathOf("stderr.txt").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  int output = open(PathOf("stdout.txt").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  int input = standardInput_.empty() ? -1 : open(PathOf(standardInput_).c_str(), O_RDONLY);
  pid_t child = fork();
  if (child == 0) StartProgram(directory_, program, arguments, errors, output, input);
  close(errors);
  close(output);
  if (input >= 0) close(input);
  TJobResult result;
  result.ExitCode = WaitForProgram(child);
  result.TraceWritten = FileExists("job.trace");
  result.Trace = result.TraceWritten ? ReadFile("job.trace") : "";
  result.Errors = ReadFile("stderr.txt");
  result.Output = ReadFile("stdout.txt");
  return result;
}
