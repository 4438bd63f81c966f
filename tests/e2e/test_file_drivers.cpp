// The file drivers on whole jobs: what files a job leaves, under which
// names, and that a job that fails, dies or prints no sheet leaves none and
// never touches an older file at the target.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "file_drivers.h"

namespace {

using namespace file_drivers;

class FileDrivers : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteSystemProfile(Profile("resolution=100\n"));
  }
  // What is in the job's directory apart from what every job has there.
  std::set<std::string> Outputs() const {
    std::set<std::string> names = DirectoryNames(directory_);
    for (const char* fixed : {"tolvane", "tolvane.ini", "system.ini", "report.txt", "stderr.txt",
                              "stdout.txt", "logo.bmp", "sample-report.txt"})
      names.erase(fixed);
    return names;
  }
};

TEST_F(FileDrivers, EachDriverWritesItsFiles) {
  WriteFile("sample-report.txt", Example("sample-report.txt"));
  WriteFile("logo.bmp", Example("logo.bmp"));
  struct Case {
    const char* printer;
    std::set<std::string> files;
    const char* start;  // how each file begins
    const char* holds;  // what the first one holds
  } cases[] = {
      {"Pdf", {"out.pdf"}, "%PDF-", "/Count 3"},
      {"Ps", {"out.ps"}, "%!PS-Adobe-3.0", "\n%%Pages: 3\n"},
      {"Svg", {"sheet-1.svg", "sheet-2.svg", "sheet-3.svg"}, "<?xml", "<svg"},
      {"Png", {"sheet-1.png", "sheet-2.png", "sheet-3.png"}, "\x89PNG", "IHDR"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    for (const std::string& name : Outputs()) std::filesystem::remove(PathOf(name));
    WriteConfiguration(SampleConfiguration(c.printer));
    TJobResult job = Run({"sample-report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0) << job.Errors;
    EXPECT_EQ(job.Errors, "");
    EXPECT_EQ(Outputs(), c.files);
    for (const std::string& name : c.files) EXPECT_EQ(ReadFile(name).rfind(c.start, 0), 0u) << name;
    EXPECT_NE(ReadFile(*c.files.begin()).find(c.holds), std::string::npos);
  }
  // The last ones are still there: PNG sheets of A4 at 100 dots per inch.
  TPicture sheet = LoadPicture(PathOf("sheet-2.png"));
  EXPECT_EQ(sheet.Width, 826);
  EXPECT_EQ(sheet.Height, 1169);
}

TEST_F(FileDrivers, PdfGoesToStandardOutputForADash) {
  WriteSystemProfile(Profile("resolution=100\n", "-"));
  WriteFile("report.txt", "one\fpage two\f");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0) << job.Errors;
  EXPECT_EQ(job.Output.rfind("%PDF-", 0), 0u);
  EXPECT_EQ(job.Output.substr(job.Output.size() - 6), "%%EOF\n");
  EXPECT_EQ(Outputs(), std::set<std::string>{});
}

// A malformed number on page 3 fails the job after two sheets went out:
// nothing of it may remain, and last run's output stays as it was.
TEST_F(FileDrivers, AFailedJobLeavesNothingAndKeepsTheOlderOutput) {
  WriteFile("report.txt", "page one\fpage two\fpage three \x1b" "F:1-2; and more\fpage four");
  struct Case {
    const char* printer;
    std::vector<std::string> older;
  } cases[] = {
      {"Pdf", {"out.pdf"}},
      {"Ps", {"out.ps"}},
      {"Svg", {"sheet-1.svg", "sheet-2.svg"}},
      {"Png", {"sheet-1.png", "sheet-3.png"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    for (const std::string& name : Outputs()) std::filesystem::remove(PathOf(name));
    for (const std::string& name : c.older) WriteFile(name, "last run's " + name);
    WriteConfiguration("[preferences]\nprinter=" + std::string(c.printer) +
                       "\n[sequences]\nF=FSIZ:36\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_EQ(job.Errors.rfind(FailureWarning, 0), 0u) << job.Errors;
    EXPECT_EQ(Outputs(), std::set<std::string>(c.older.begin(), c.older.end()));
    for (const std::string& name : c.older) EXPECT_EQ(ReadFile(name), "last run's " + name);
  }
}

TEST_F(FileDrivers, ADocumentWithoutSheetsWritesNothing) {
  WriteFile("report.txt", "only one page");
  for (const char* printer : {"Pdf", "Ps", "Svg", "Png"}) {
    SCOPED_TRACE(printer);
    for (const std::string& name : Outputs()) std::filesystem::remove(PathOf(name));
    WriteFile("out.pdf", "last run's");
    WriteConfiguration("[preferences]\nprinter=" + std::string(printer) + "\n");
    TJobResult job = Run({"report.txt", "5", "9"});
    EXPECT_EQ(job.ExitCode, 0) << job.Errors;
    EXPECT_EQ(Outputs(), std::set<std::string>{"out.pdf"});
    EXPECT_EQ(ReadFile("out.pdf"), "last run's");
  }
}

TEST_F(FileDrivers, AnOutputThatCannotBeWrittenGivesNoPrinter) {
  std::filesystem::create_directory(PathOf("taken"));
  WriteFile("report.txt", "text");
  struct Case {
    const char* why;
    const char* devices;
  } cases[] = {
      {"no such directory", "Pdf=PDF,missing/out.pdf\n"},
      {"the target is a directory", "Pdf=PDF,taken\n"},
      {"an empty port", "Pdf=PDF,\n"},
      {"a pattern of another conversion", "Pdf=SVG,sheet-%s.svg\n"},
      {"a pattern of two numbers", "Pdf=PNG,%d-%d.png\n"},
      {"sheets to standard output", "Pdf=PNG,-\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteSystemProfile(std::string("[Devices]\n") + c.devices);
    WriteConfiguration("[preferences]\nprinter=Pdf\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 2);
    EXPECT_EQ(Outputs(), std::set<std::string>{"taken"});
  }
}

// Killed in the middle of a long document, a job leaves no file at all:
// what it wrote had no name yet.
TEST_F(FileDrivers, AJobKilledHalfWayLeavesNoFile) {
  std::string page;
  for (int line = 0; line < 30; ++line) page += "a line of a long report, line after line\r\n";
  std::string report;
  // Long enough that a job is still printing when it is killed, however
  // fast it prints.
  for (int sheet = 0; sheet < 60000; ++sheet) report += page + "\f";
  WriteFile("report.txt", report);
  WriteFile("out.pdf", "last run's");
  WriteConfiguration("[preferences]\nprinter=Pdf\n");
  pid_t child = fork();
  if (child == 0) {
    if (chdir(directory_.c_str()) != 0) _exit(127);
    setenv("TOLVANE_SYSTEM_PROFILE", PathOf("system.ini").c_str(), 1);
    execl(PathOf("tolvane").c_str(), "tolvane", "report.txt", "1", static_cast<char*>(nullptr));
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the job ended before it was killed";
  EXPECT_EQ(Outputs(), std::set<std::string>{"out.pdf"});
  EXPECT_EQ(ReadFile("out.pdf"), "last run's");
}

}  // namespace
