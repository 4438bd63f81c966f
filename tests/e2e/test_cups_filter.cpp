// The program started as the CUPS filter tolvanetopdf: the scheduler's
// arguments, the page range of its options, the PDF on standard output only
// for a job that printed, and every failure as ERROR: lines.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host.h"

namespace fs = std::filesystem;

namespace {

// Two pages: a form feed between them.
const char TwoPageReport[] = "First page\r\n\fSecond page\r\n";
const char MalformedReport[] = "Fine\r\n\x1bH:1-2;broken\r\n";
const char MissingLogoReport[] = "Logo\x1bG:0,0,100,100;\r\n";

// pdftopdf as the scheduler's filter directory holds it, played by a script
// that notes its arguments and passes the PDF on.
const char FinisherScript[] =
    "#!/bin/sh\n"
    "printf '%s\\n' \"$@\" > \"$(dirname \"$0\")/../finisher-arguments.txt\"\n"
    "exec cat\n";

class CupsFilter : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    fs::create_symlink("tolvane", PathOf("tolvanetopdf"));
    fs::create_directories(PathOf("serverbin/filter"));
    WriteFile("serverbin/filter/pdftopdf", FinisherScript);
    fs::permissions(PathOf("serverbin/filter/pdftopdf"), fs::perms::owner_all);
    setenv("CUPS_SERVERBIN", PathOf("serverbin").c_str(), 1);
    WriteConfiguration("[sequences]\nH=FSIZ:48\nG=BITM:nologo.bmp\n");
    WriteFile("report.txt", TwoPageReport);
    WriteFile("malformed.txt", MalformedReport);
    WriteFile("logo.txt", MissingLogoReport);
  }
  void TearDown() override {
    unsetenv("CUPS_SERVERBIN");
    HostTest::TearDown();
  }

  TJobResult Filter(const std::string& options, const std::string& file) {
    std::vector<std::string> arguments = {"12", "clerk", "March", "1", options};
    if (!file.empty()) arguments.push_back(file);
    return Run(arguments, "tolvanetopdf");
  }

  // Sheets of the PDF that came out, as poppler counts them.
  int Sheets() {
    std::string command = "pdfinfo '" + PathOf("stdout.txt") + "' 2>/dev/null";
    FILE* answer = popen(command.c_str(), "r");
    int sheets = -1;
    char line[256];
    while (answer && fgets(line, sizeof line, answer))
      if (std::sscanf(line, "Pages: %d", &sheets) == 1) break;
    if (answer) pclose(answer);
    return sheets;
  }
};

struct TFilterCase {
  const char* Name;
  const char* Options;
  const char* File;   // empty: the report comes on standard input
  int ExitCode;
  int Sheets;         // 0: nothing may reach standard output
  const char* Said;   // a line that standard error must hold
};

const TFilterCase FilterCases[] = {
    {"whole report from a file", "", "report.txt", 0, 2, ""},
    {"whole report from standard input", "", "", 0, 2, ""},
    {"one page", "page-ranges=2", "report.txt", 0, 1, ""},
    {"a range open at its end", "page-ranges=2-", "report.txt", 0, 1, ""},
    {"a range open at its start", "media=A4 page-ranges=-1", "report.txt", 0, 1, ""},
    {"a range that no page falls into", "page-ranges=5-9", "report.txt", 0, 0, ""},
    {"a list of ranges", "page-ranges=1-2,4", "report.txt", 1, 0,
     "ERROR: the option page-ranges=1-2,4 is not one range of pages such as 3-5"},
    {"a range backwards", "page-ranges=3-2", "report.txt", 1, 0,
     "ERROR: the option page-ranges=3-2 is not"},
    {"page zero", "page-ranges=0", "report.txt", 1, 0, "ERROR: the option page-ranges=0 is not"},
    {"a range of text", "copies=2 page-ranges=all", "report.txt", 1, 0,
     "ERROR: the option page-ranges=all is not"},
    {"a malformed number in the report", "", "malformed.txt", 1, 0,
     "ESC H runs \"FSIZ:48,1-2\": '1-2' is not a valid floating point value"},
    {"the reason of a failed job", "", "malformed.txt", 1, 0,
     "ERROR: exit code 1: the job failed; nothing was sent to the printer"},
    {"a print file that is not there", "", "absent.txt", 1, 0,
     "ERROR: cannot find the print file absent.txt: No such file or directory"},
    {"a logo that is not there", "", "logo.txt", 0, 1, "WARNING: Figyelem!: Logo k\xC3\xA9pf\xC3\xA1jl nincs meg!"},
};

TEST_F(CupsFilter, ScheduledJobsPrintTheirRangeOrSayWhyNot) {
  for (const TFilterCase& test : FilterCases) {
    SCOPED_TRACE(test.Name);
    standardInput_ = test.File[0] == '\0' ? "report.txt" : "";
    TJobResult result = Filter(test.Options, test.File);
    EXPECT_EQ(result.ExitCode, test.ExitCode) << result.Errors;
    if (test.Sheets == 0)
      EXPECT_EQ(result.Output, "");
    else
      EXPECT_EQ(Sheets(), test.Sheets);
    EXPECT_NE(result.Errors.find(test.Said), std::string::npos) << result.Errors;
    for (const std::string& line : TraceLines(result.Errors)) {
      bool marked = line.rfind("ERROR: ", 0) == 0 || line.rfind("WARNING: ", 0) == 0;
      EXPECT_TRUE(marked) << "a line the scheduler would not show: " << line;
    }
  }
}

// The sheets go to pdftopdf with the job's other options: the range is
// Tolvane's, and the sheets stay where Tolvane put them.
TEST_F(CupsFilter, FinisherGetsTheOptionsWithoutTheRange) {
  TJobResult result = Filter("media=A4 page-ranges=2 job-name='March report'", "report.txt");
  ASSERT_EQ(result.ExitCode, 0) << result.Errors;
  EXPECT_EQ(ReadFile("serverbin/finisher-arguments.txt"),
            "12\nclerk\nMarch\n1\njob-name='March report' media='A4' position='top-left'\n");
  Filter("position=center", "report.txt");
  EXPECT_EQ(ReadFile("serverbin/finisher-arguments.txt"), "12\nclerk\nMarch\n1\nposition='center'\n");
}

TEST_F(CupsFilter, WithoutItsArgumentsOrPdftopdfNothingIsPrinted) {
  TJobResult result = Run({"12", "clerk"}, "tolvanetopdf");
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Errors,
            "ERROR: Usage: tolvanetopdf job-id user title copies options [file]\n");
  setenv("CUPS_SERVERBIN", PathOf("nowhere").c_str(), 1);
  result = Filter("", "report.txt");
  EXPECT_EQ(result.ExitCode, 1);
  EXPECT_EQ(result.Output, "");
  EXPECT_NE(result.Errors.find("ERROR: cannot run CUPS's pdftopdf at " + PathOf("nowhere") +
                               "/filter/pdftopdf (from cups-filters)"),
            std::string::npos)
      << result.Errors;
}

// pdftopdf that takes nothing: the sheets fill the pipe and the job waits.
const char StalledFinisherScript[] =
    "#!/bin/sh\n"
    "echo $$ > \"$(dirname \"$0\")/../finisher.pid\"\n"
    "exec sleep 60\n";

// The filter of a job that waits on a stalled pdftopdf; its scratch files go
// to spool/.
pid_t StartStalledFilter(const std::string& directory, bool fromInput) {
  pid_t filter = fork();
  if (filter != 0) return filter;
  if (chdir(directory.c_str()) != 0) _exit(127);
  setenv("TMPDIR", (directory + "/spool").c_str(), 1);
  int input = open(fromInput ? "long.txt" : "/dev/null", O_RDONLY);
  int nowhere = open("/dev/null", O_WRONLY);
  dup2(input, 0);
  dup2(nowhere, 1);
  dup2(nowhere, 2);
  const char* file = fromInput ? nullptr : "long.txt";
  execl((directory + "/tolvanetopdf").c_str(), "tolvanetopdf", "12", "clerk", "March", "1", "",
        file, nullptr);
  _exit(127);
}

int EntriesOf(const std::string& directory) {
  int entries = 0;
  for (const auto& entry : fs::directory_iterator(directory)) entries += entry.exists() ? 1 : 0;
  return entries;
}

// A process that ended (a zombie of no parent counts).
bool Ended(pid_t process) {
  std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
  std::string pid, name, state;
  return !(stat >> pid >> name >> state) || state == "Z";
}

// The scheduler stops a job's filter with SIGTERM (a cancel, or the
// scheduler itself stopping) and prints the job again later: the filter
// leaves none of its files in the scheduler's directory, and pdftopdf, which
// would send on what it got so far, is stopped with it.
TEST_F(CupsFilter, ATerminationSignalLeavesNothingBehind) {
  WriteFile("serverbin/filter/pdftopdf", StalledFinisherScript);
  std::string report;
  for (int page = 1; page <= 400; ++page) report += "A page of its own\r\n\f";
  WriteFile("long.txt", report);
  fs::create_directories(PathOf("spool"));
  for (bool fromInput : {false, true}) {
    SCOPED_TRACE(fromInput ? "report on standard input" : "report in a file");
    fs::remove(PathOf("serverbin/finisher.pid"));
    pid_t filter = StartStalledFilter(directory_, fromInput);
    int expected = fromInput ? 2 : 1;  // the messages, and the copy of the input
    for (int wait = 0; wait < 200 && (EntriesOf(PathOf("spool")) < expected ||
                                      !FileExists("serverbin/finisher.pid"));
         ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(EntriesOf(PathOf("spool")), expected);
    pid_t finisher = std::stoi(ReadFile("serverbin/finisher.pid"));
    kill(filter, SIGTERM);
    int status = Wait(filter, 10);
    ASSERT_TRUE(status != -1 && WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(EntriesOf(PathOf("spool")), 0);
    for (int wait = 0; wait < 100 && !Ended(finisher); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(Ended(finisher));
    if (!Ended(finisher)) kill(finisher, SIGKILL);
  }
}

}  // namespace
