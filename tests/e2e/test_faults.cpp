// A failing machine and a hostile host: faults of the file system (through
// a shim loaded with LD_PRELOAD), signals, pipes and devices where files
// are expected, a full disk under the trace. None of them may end in half a
// report called printed.
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "file_drivers.h"
#include "host.h"

namespace {

namespace fs = std::filesystem;
using file_drivers::DirectoryNames;

const std::string Shim = std::string("LD_PRELOAD=") + TOLVANE_FAULT_SHIM;
// The sanitizer build's runtime does not come first once the shim is
// preloaded, which it need not.
std::string AsanOptions() {
  const char* options = std::getenv("ASAN_OPTIONS");
  return std::string("ASAN_OPTIONS=") + (options ? options : "") + ":verify_asan_link_order=0";
}

std::string SheetProfile(const std::string& port) {
  return "[windows]\ndevice=Sheets,SVG," + port + "\n[Devices]\nSheets=SVG," + port +
         "\nPng=PNG,wide.png\nPdf=PDF,out.pdf\n[Sheets]\npaper=A5\n[Png]\nresolution=600\n";
}

std::string Pages(int count) {
  std::string report;
  for (int page = 1; page <= count; ++page)
    report += "page " + std::to_string(page) + (page < count ? "\f" : "\n");
  return report;
}

std::vector<std::string> HiddenNames(const std::string& directory) {
  std::vector<std::string> hidden;
  for (const std::string& name : DirectoryNames(directory))
    if (name.find(".tolvane.") != std::string::npos || name.find(".tolvane-commit.") == 0)
      hidden.push_back(name);
  return hidden;
}

class Faults : public HostTest {
 protected:
  // Runs the job with the shim and the given faults; the wait status.
  int RunFaulty(const std::vector<std::string>& faults, const std::vector<std::string>& arguments,
                int seconds = 60) {
    std::vector<std::string> environment = {Shim, AsanOptions()};
    environment.insert(environment.end(), faults.begin(), faults.end());
    return Wait(Start(arguments, environment), seconds);
  }
  // Starts the job with the shim stopping it before a step of its commit,
  // and kills it there; false when it never got there.
  bool KillAtStep(int step, bool nameless) {
    std::vector<std::string> environment = {Shim, AsanOptions(),
                                            "TOLVANE_FAULT_STOP_AT_STEP=" + std::to_string(step)};
    if (!nameless) environment.push_back("TOLVANE_FAULT_NO_TMPFILE=1");
    pid_t job = Start({"report.txt", "1"}, environment);
    bool stopped = WaitUntilStopped(job);
    kill(job, SIGKILL);
    Wait(job, 30);
    return stopped;
  }
  static bool WaitUntilStopped(pid_t job) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      pid_t answer = waitpid(job, &status, WNOHANG | WUNTRACED);
      if (answer == job) return WIFSTOPPED(status);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  // "old" when every sheet is an older one, "new" when every one is new.
  std::string SheetSet(int count) {
    int older = 0, newer = 0;
    for (int sheet = 1; sheet <= count; ++sheet) {
      std::string name = "sheet-" + std::to_string(sheet) + ".svg";
      if (!FileExists(name)) continue;
      std::string text = ReadFile(name);
      older += text == "old " + std::to_string(sheet);
      newer += text.find("<svg") != std::string::npos;
    }
    if (older == count) return "old";
    if (newer == count) return "new";
    return std::to_string(older) + " old and " + std::to_string(newer) + " new";
  }
  void WriteOlderSheets(int count) {
    for (int sheet = 1; sheet <= count; ++sheet)
      WriteFile("sheet-" + std::to_string(sheet) + ".svg", "old " + std::to_string(sheet));
  }
  static int ExitCode(int status) { return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
};

// The sheets of a document take their names together: when one cannot,
// those already renamed are put back and the older files restored.
TEST_F(Faults, SheetsThatCannotAllTakeTheirNamesChangeNothing) {
  struct Case {
    const char* why;
    std::vector<std::string> faults;
    std::vector<int> older;  // the sheets that an earlier document left
  } cases[] = {
      {"the second of three fails", {"TOLVANE_FAULT_RENAME=sheet-2.svg"}, {1, 2, 3}},
      {"the last of three fails", {"TOLVANE_FAULT_RENAME=sheet-3.svg"}, {1, 2, 3}},
      {"the first fails", {"TOLVANE_FAULT_RENAME=sheet-1.svg"}, {1, 2, 3}},
      {"some had no older file", {"TOLVANE_FAULT_RENAME=sheet-3.svg"}, {2}},
      {"without nameless files",
       {"TOLVANE_FAULT_RENAME=sheet-3.svg", "TOLVANE_FAULT_NO_TMPFILE=1"},
       {1, 2, 3}},
  };
  WriteSystemProfile(SheetProfile("sheet-%d.svg"));
  WriteFile("report.txt", Pages(3));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    for (int sheet = 1; sheet <= 3; ++sheet) fs::remove(PathOf("sheet-" + std::to_string(sheet) + ".svg"));
    for (int sheet : c.older) WriteFile("sheet-" + std::to_string(sheet) + ".svg", "old " + std::to_string(sheet));
    EXPECT_EQ(ExitCode(RunFaulty(c.faults, {"report.txt", "1"})), 1);
    for (int sheet = 1; sheet <= 3; ++sheet) {
      std::string name = "sheet-" + std::to_string(sheet) + ".svg";
      bool older = std::find(c.older.begin(), c.older.end(), sheet) != c.older.end();
      EXPECT_EQ(FileExists(name), older) << name;
      if (older) {
        EXPECT_EQ(ReadFile(name), "old " + std::to_string(sheet)) << name;
      }
    }
    EXPECT_EQ(HiddenNames(directory_), std::vector<std::string>{});
  }
  // And with nothing failing, all of them are the new ones, with nothing kept.
  EXPECT_EQ(ExitCode(RunFaulty({"TOLVANE_FAULT_NO_TMPFILE=1"}, {"report.txt", "1"})), 0);
  for (int sheet = 1; sheet <= 3; ++sheet)
    EXPECT_NE(ReadFile("sheet-" + std::to_string(sheet) + ".svg").find("<svg"), std::string::npos);
  EXPECT_EQ(HiddenNames(directory_), std::vector<std::string>{});
}

// Without nameless files the sheets wait under hidden names: a signal to end
// removes them and ends the program as the signal does; the leftovers of a
// killed run go with the next run that writes there.
TEST_F(Faults, HiddenFilesGoWithTheSignalThatEndsTheJob) {
  WriteSystemProfile(SheetProfile("sheet-%d.svg"));
  WriteFile("report.txt", Pages(4000));
  for (int number : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
    SCOPED_TRACE(strsignal(number));
    pid_t job = Start({"report.txt", "1"}, {Shim, AsanOptions(), "TOLVANE_FAULT_NO_TMPFILE=1"});
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (HiddenNames(directory_).size() < 2 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(HiddenNames(directory_).size(), 2u) << "the job left no hidden sheets to find";
    kill(job, number);
    int status = Wait(job, 30);
    ASSERT_TRUE(status != -1 && WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), number);
    EXPECT_FALSE(FileExists("sheet-1.svg"));
    if (number != SIGKILL) {
      EXPECT_EQ(HiddenNames(directory_), std::vector<std::string>{});
    }
  }
  EXPECT_FALSE(HiddenNames(directory_).empty());  // what the kill left
  WriteFile("report.txt", Pages(1));
  EXPECT_EQ(Run({"report.txt", "1"}).ExitCode, 0);
  EXPECT_EQ(HiddenNames(directory_), std::vector<std::string>{});
  EXPECT_TRUE(FileExists("sheet-1.svg"));
}

// A kill at any step of a commit: the next job in the folder, of another
// driver, leaves all the older sheets or all the new, and nothing hidden.
TEST_F(Faults, AKilledCommitIsSettledByTheNextJob) {
  struct Case {
    int step;  // 1: the record is named; 2 to 6: the sheets; 7: the record goes
    bool nameless;
    const char* set;
    const char* says;
  } cases[] = {
      {1, true, "old", "removed "},
      {2, true, "new", "finished it"},
      {3, true, "new", "finished it"},
      {6, true, "new", "finished it"},
      {7, true, "new", "finished it"},
      {1, false, "old", "removed "},
      {4, false, "new", "finished it"},
  };
  WriteSystemProfile(SheetProfile("sheet-%d.svg"));
  for (const Case& c : cases) {
    SCOPED_TRACE("step " + std::to_string(c.step) + (c.nameless ? "" : " without nameless files"));
    WriteConfiguration("");
    WriteFile("report.txt", Pages(5));
    WriteOlderSheets(5);
    ASSERT_TRUE(KillAtStep(c.step, c.nameless));
    EXPECT_FALSE(HiddenNames(directory_).empty());
    WriteConfiguration("[preferences]\nprinter=Pdf\n");
    TJobResult next = Run({"report.txt", "1"});
    EXPECT_EQ(next.ExitCode, 0);
    EXPECT_NE(next.Errors.find(c.says), std::string::npos) << next.Errors;
    EXPECT_EQ(SheetSet(5), c.set);
    EXPECT_EQ(HiddenNames(directory_), std::vector<std::string>{});
  }
}

// A job that still runs keeps its record and its hidden files however many
// jobs start in the folder meanwhile; a damaged record moves nothing.
TEST_F(Faults, CommitsOfLiveJobsAndDamagedRecordsAreLeftAlone) {
  WriteSystemProfile(SheetProfile("sheet-%d.svg"));
  WriteFile("report.txt", Pages(5));
  WriteOlderSheets(5);
  pid_t live = Start({"report.txt", "1"},
                     {Shim, AsanOptions(), "TOLVANE_FAULT_STOP_AT_STEP=4", "TOLVANE_FAULT_NO_TMPFILE=1"});
  ASSERT_TRUE(WaitUntilStopped(live));
  std::vector<std::string> held = HiddenNames(directory_);
  WriteConfiguration("[preferences]\nprinter=Pdf\n");
  EXPECT_EQ(Run({"report.txt", "1"}).ExitCode, 0);
  EXPECT_EQ(HiddenNames(directory_), held);
  kill(live, SIGCONT);
  EXPECT_EQ(ExitCode(Wait(live, 60)), 0);
  EXPECT_EQ(SheetSet(5), "new");
  EXPECT_EQ(HiddenNames(directory_), std::vector<std::string>{});

  // A record of an ended process, cut short, with a hidden sheet it named.
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string owner = std::to_string(gone) + "-1@" + std::string(host, strcspn(host, "./"));
  std::string record = ".tolvane-commit." + owner + ".0123456789ab";
  std::string hidden = ".sheet-1.svg.tolvane." + owner + ".0123456789ab";
  WriteFile(record, "tolvane commit record 1\nowner " + owner + "\nfile 12 0 sheet-1.svg " + hidden);
  WriteFile(hidden, "stray");
  TJobResult next = Run({"report.txt", "1"});
  EXPECT_EQ(next.ExitCode, 0);
  EXPECT_NE(next.Errors.find("damaged commit record"), std::string::npos) << next.Errors;
  EXPECT_EQ(SheetSet(5), "new");
  std::vector<std::string> left = HiddenNames(directory_);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{hidden, record}))
      << "a damaged record and its files stay for a person to look at";
}

// A pipe without a reader, a device that takes nothing: no printer, or a
// failed job, at once and never a hang.
TEST_F(Faults, OutputsThatCannotTakeTheDocument) {
  ASSERT_EQ(mkfifo(PathOf("pipe").c_str(), 0600), 0);
  struct Case {
    const char* port;
    int exitCode;
    const char* says;
  } cases[] = {
      {"pipe", 2, "has no reader"},
      {"/dev/full", 1, "No space left on device"},
  };
  WriteFile("report.txt", Pages(2));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    WriteSystemProfile(std::string("[windows]\ndevice=Pdf,PDF,") + c.port + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, c.exitCode);
    EXPECT_NE(job.Errors.find(c.says), std::string::npos) << job.Errors;
  }
  EXPECT_EQ(fs::status(PathOf("pipe")).type(), fs::file_type::fifo);
}

// A trace that cannot be written fails the job like any other output.
TEST_F(Faults, ATraceCutShortFailsTheJob) {
  std::string full = PathOf("full");
  fs::create_directory(full);
  bool mounted = geteuid() == 0 && mount("tolvane-full", full.c_str(), "tmpfs", 0, "size=16k") == 0;
  struct Case {
    std::string port;
    int exitCode;
  } cases[] = {
      {"/dev/full", 1},
      {full + "/job.trace", mounted ? 1 : 0},
      {"job.trace", 0},
  };
  WriteFile("report.txt", std::string(4000, 'x') + "\n" + Pages(60));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    WriteSystemProfile("[windows]\ndevice=Trace,TRACE," + c.port + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, c.exitCode) << job.Errors;
    if (c.exitCode == 1) {
      EXPECT_NE(job.Errors.find("cannot write the trace"), std::string::npos);
    }
  }
  if (mounted) umount(full.c_str());
  if (!mounted) GTEST_SKIP() << "a tiny tmpfs needs root; /dev/full was tried";
}

// A logo that is no regular file gets the logo warning at once, and the job
// goes on; opening a pipe without a writer would wait forever.
TEST_F(Faults, LogosThatAreNoFilesAreWarnedAbout) {
  ASSERT_EQ(mkfifo(PathOf("pipe.bmp").c_str(), 0600), 0);
  fs::create_directory(PathOf("folder.bmp"));
  int listening = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address = {};
  address.sun_family = AF_UNIX;
  std::string socketPath = PathOf("socket.bmp");
  bool bound = socketPath.size() < sizeof address.sun_path;
  if (bound) {
    std::strcpy(address.sun_path, socketPath.c_str());
    bound = bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  for (std::string logo : {"pipe.bmp", "folder.bmp", "/dev/zero", "socket.bmp"}) {
    if (logo == "socket.bmp" && !bound) continue;
    SCOPED_TRACE(logo);
    WriteConfiguration("[sequences]\nG=BITM:" + logo + "\n");
    WriteFile("report.txt", "A\x1bG:0,0,100,100;B\n");
    pid_t job = Start({"report.txt", "1"}, {});
    int status = Wait(job, 20);
    ASSERT_NE(status, -1) << "the job hung on the logo";
    EXPECT_EQ(ExitCode(status), 0);
    EXPECT_EQ(ReadFile("stderr.txt").find(MissingLogoWarning), 0u) << ReadFile("stderr.txt");
    EXPECT_EQ(SheetTexts(ReadFile("job.trace")).at(0).size(), 2u);
  }
  close(listening);
}

// One glyph that cannot be rasterised must not cost the document: cells
// hundreds of times wider than high on a PNG sheet at 600 dots per inch
// (FSIZ:0 is a cell one pixel high), with text of the usual size after them.
TEST_F(Faults, VeryWideCellsStillDrawOnPictures) {
  WriteSystemProfile(SheetProfile("sheet-%d.svg"));
  for (const char* cell : {"0,400", "1,400", "0,2000"}) {
    SCOPED_TRACE(cell);
    WriteConfiguration(std::string("[preferences]\nprinter=Png\n[sequences]\nN=FSIZ:36,24\nW=FSIZ:") +
                       cell + "\n");
    WriteFile("report.txt", "\x1bWAMW\n\x1bNAMW\n");
    TJobResult job = Run({"report.txt", "1"});
    ASSERT_EQ(job.ExitCode, 0) << job.Errors;
    file_drivers::TPicture picture = file_drivers::LoadPicture(PathOf("wide-1.png"));
    size_t dark = 0;
    for (uint8_t value : picture.Rgb) dark += value < 128;
    EXPECT_GT(dark, 1000u) << "the text after the wide cells was not drawn";
  }
}

}  // namespace
