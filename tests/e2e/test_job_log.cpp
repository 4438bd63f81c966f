// The job log: one whole line per job, whatever the outcome, in the user's
// state directory; rotated at its size limit, shared by parallel jobs, and
// never a reason for a job to fail.
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "host.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

}  // namespace

class JobLog : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteFile("report.txt", "A\fB\n");
  }
  std::string LogPath() const { return CacheHome() + "/tolvane/tolvane.log"; }
  std::vector<std::string> LogLines() const {
    std::ifstream file(LogPath(), std::ios::binary);
    return Lines(std::string(std::istreambuf_iterator<char>(file), {}));
  }
};

TEST_F(JobLog, EachOutcomeLeavesOneLineWithItsReason) {
  const std::string time = R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d )";
  const std::string trace = "printer=\"Trace\" driver=\"TRACE\" output=\"" + PathOf("job.trace");
  struct Case {
    std::vector<std::string> arguments;
    std::string configuration;
    std::string expected;  // a regular expression after the time
  } cases[] = {
      {{"report.txt", "1"}, "",
       "file=\"" + PathOf("report.txt") + "\" pages=\"1 to 32767\" " + trace +
           "\" sheets=2 exit=0$"},
      {{"report.txt", "2", "2"}, "", "pages=\"2 to 2\" .* sheets=1 exit=0$"},
      {{"missing.txt", "1"}, "",
       "sheets=0 exit=55 reason=\"cannot open the print file 'missing.txt' in .*\"$"},
      {{"report.txt", "1"}, "[preferences]\nprinter=Nowhere\n",
       "printer=\"Nowhere\" driver=\"\" output=\"\" sheets=0 exit=2 reason=\"no printer "
       "'Nowhere' .*\"$"},
      {{"report.txt", "-"}, "",
       "printer=none sheets=0 exit=1 reason=\"warning box 'Figyelem!': the first page argument "
       "'-': '-' is not a valid integer value\"$"},
      {{"report.txt"}, "", "pages=none printer=none sheets=0 exit=0 reason=\"no page range .*\"$"},
      {{"report.txt", "1"}, "[preferences]\nfont=Courier New\n[sequences]\nL=BITM:nologo.bmp,0,0,10,10\n",
       "sheets=2 exit=0 reason=\"warning box 'Figyelem!': .*nologo.bmp.*\"$"},
  };
  size_t expectedLines = 0;
  for (const Case& c : cases) {
    WriteConfiguration(c.configuration);
    if (c.configuration.find("BITM") != std::string::npos) WriteFile("report.txt", "\x1bL" "A\fB\n");
    Run(c.arguments);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), ++expectedLines);
    EXPECT_TRUE(std::regex_search(lines.back(), std::regex(time + "file=")));
    EXPECT_TRUE(std::regex_search(lines.back(), std::regex(c.expected))) << lines.back();
  }
  // Questions to the program are no jobs.
  Run({"--check"});
  Run({"--list-printers"});
  Run({"--version"});
  EXPECT_EQ(LogLines().size(), expectedLines);
}

TEST_F(JobLog, RotatesAtItsLimitKeepingOneOldFile) {
  mkdir(CacheHome().c_str(), 0755);
  mkdir((CacheHome() + "/tolvane").c_str(), 0755);
  std::string full(1024 * 1024, 'x');
  full.back() = '\n';
  std::ofstream(LogPath(), std::ios::binary) << full;
  std::ofstream(LogPath() + ".1", std::ios::binary) << "older\n";
  Run({"report.txt", "1"});
  EXPECT_EQ(LogLines().size(), 1u);
  std::ifstream old(LogPath() + ".1", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), full);
  // Below the limit the file grows.
  Run({"report.txt", "1"});
  EXPECT_EQ(LogLines().size(), 2u);
}

// Many jobs at once, some of them rotating the file under the others: every
// line arrives whole, in one of the two files.
TEST_F(JobLog, ParallelJobsNeverInterleave) {
  const int jobs = 24;
  std::string path = PathOf("shared.log");
  std::string nearlyFull(1024 * 1024 - 2000, 'x');
  nearlyFull.back() = '\n';
  std::ofstream(path, std::ios::binary) << nearlyFull;
  std::vector<pid_t> started;
  for (int i = 0; i < jobs; i++)
    started.push_back(Start({"report.txt", "1"}, {"TOLVANE_LOG=" + path}));
  for (pid_t job : started) {
    int status = Wait(job, 60);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  int logged = 0;
  for (const std::string& name : {path, path + ".1"}) {
    std::ifstream file(name, std::ios::binary);
    for (const std::string& line : Lines(std::string(std::istreambuf_iterator<char>(file), {}))) {
      if (line[0] == 'x') continue;
      EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d{4}-.* sheets=2 exit=0)"))) << line;
      logged++;
    }
  }
  EXPECT_EQ(logged, jobs);
}

TEST_F(JobLog, ALogThatCannotBeWrittenNeverFailsTheJob) {
  WriteFile("blocked", "");
  struct Case {
    std::string environment;
    std::string said;  // on standard error; empty: nothing
  } cases[] = {
      {"TOLVANE_LOG=" + PathOf("blocked") + "/tolvane.log",
       "tolvane: the job log " + PathOf("blocked") + "/tolvane.log was not written (cannot open "
       "it: Not a directory); TOLVANE_LOG names another file, TOLVANE_LOG=off turns it off\n"},
      {"TOLVANE_LOG=" + directory_, "(cannot open it: Is a directory)"},
      {"XDG_STATE_HOME=" + PathOf("blocked"),
       "(cannot make the directory " + PathOf("blocked") + "/tolvane: Not a directory)"},
      {"TOLVANE_LOG=off", ""},
      {"TOLVANE_LOG=OFF", ""},
  };
  for (const Case& c : cases) {
    pid_t job = Start({"report.txt", "1"}, {c.environment});
    int status = Wait(job, 60);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.environment;
    std::string errors = ReadFile("stderr.txt");
    if (c.said.empty())
      EXPECT_EQ(errors, "") << c.environment;
    else
      EXPECT_NE(errors.find(c.said), std::string::npos) << errors;
  }
  EXPECT_TRUE(LogLines().empty());
}
