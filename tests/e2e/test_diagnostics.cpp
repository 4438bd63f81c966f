// What a person reads when something goes wrong: every failure and fallback
// says on standard error what was asked and where it was looked for, and
// nothing is left at the output. Also the options that answer questions
// (--check, --list-printers) and the progress line on a terminal.
#include <netinet/in.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "cups_test_queue.h"
#include "host.h"

namespace {

namespace fs = std::filesystem;

// Sets environment variables for the jobs of one case and puts the old
// values back after it.
class TEnvironment {
 public:
  void Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name.c_str());
    Saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  ~TEnvironment() {
    for (auto at = Saved.rbegin(); at != Saved.rend(); ++at) {
      if (at->second)
        setenv(at->first.c_str(), at->second->c_str(), 1);
      else
        unsetenv(at->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
};

// A port on this machine where nothing listens: bound and closed again.
int SilentPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Diagnostics : public HostTest {
 protected:
  // The names in the job's directory, so a case can tell that it left
  // nothing behind.
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory_)) {
      std::string name = entry.path().filename().string();
      if (name != "stderr.txt" && name != "stdout.txt") names.insert(name);
    }
    return names;
  }
  // An isolated CUPS client: its own home (for ~/.cups/lpoptions) and
  // server root (for the system's lpoptions).
  void IsolateCupsClient(TEnvironment& environment) {
    fs::create_directories(PathOf("home/.cups"));
    fs::create_directories(PathOf("cupsroot"));
    environment.Set("HOME", PathOf("home"));
    environment.Set("CUPS_SERVERROOT", PathOf("cupsroot"));
    environment.Set("PRINTER", std::nullopt);
    environment.Set("LPDEST", std::nullopt);
  }
};

TEST_F(Diagnostics, NoPrinterSaysWhatWasAskedAndWhereAndLeavesNothing) {
  WriteFile("report.txt", "A");
  struct Case {
    const char* why;
    std::string device;  // the [Devices] entry of printer P
    std::vector<std::string> said;
  } cases[] = {
      {"a misspelt driver", "PFD,out.pdf", {"printer 'P'", "driver 'PFD'", "PDF, PS, SVG, PNG"}},
      {"a sheet pattern of another conversion",
       "SVG,sheet-%s.svg",
       {"printer 'P'", "'sheet-%s.svg'", "%d"}},
      {"a sheet pattern of two conversions", "PNG,p%d-%d.png", {"'p%d-%d.png'", "names no files"}},
      {"sheets to standard output", "PNG,-", {"'-'", "one file per sheet"}},
      {"an output directory that does not exist",
       "PDF,nodir/out.pdf",
       {"printer 'P'", "'nodir/out.pdf'", "nodir", "No such file or directory"}},
      {"an output that is a directory", "PS,.", {"printer 'P'", "is a directory"}},
      {"a trace in a directory that does not exist",
       "TRACE,nodir/t.trace",
       {"'nodir/t.trace'", "No such file or directory"}},
  };
  WriteConfiguration("[preferences]\nprinter=P\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteSystemProfile("[Devices]\nP=" + c.device + "\n");
    std::set<std::string> before = Listing();
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 2);
    EXPECT_EQ(Listing(), before);
    EXPECT_EQ(job.Output, "");
    EXPECT_EQ(std::count(job.Errors.begin(), job.Errors.end(), '\n'), 1) << job.Errors;
    EXPECT_EQ(job.Errors.rfind("tolvane: ", 0), 0u);
    for (const std::string& part : c.said) EXPECT_TRUE(Contains(job.Errors, part)) << job.Errors;
  }
}

TEST_F(Diagnostics, ADefaultNamedButNotFoundGivesNoPrinterAsLpDoes) {
  WriteFile("report.txt", "A");
  WriteSystemProfile("");  // no default of its own: the CUPS default counts
  const std::string silent = "localhost:" + std::to_string(SilentPort());
  bool schedulerRuns = cups_test::TestQueueMissing().empty();
  struct Case {
    const char* why;
    std::vector<std::pair<std::string, std::string>> environment;
    std::string lpoptions;  // the user's ~/.cups/lpoptions
    bool needsScheduler;
    std::vector<std::string> said;
  } cases[] = {
      {"PRINTER names no queue",
       {{"PRINTER", "NoSuchQueue"}},
       "",
       true,
       {"'NoSuchQueue'", "named by PRINTER", "has no such queue", "TolvaneTest"}},
      {"LPDEST names no queue",
       {{"LPDEST", "NoSuchQueue"}},
       "",
       true,
       {"'NoSuchQueue'", "named by LPDEST"}},
      {"PRINTER while no scheduler answers",
       {{"PRINTER", "TolvaneTest"}, {"CUPS_SERVER", silent}},
       "",
       false,
       {"'TolvaneTest'", "named by PRINTER", "no CUPS scheduler answers at " + silent}},
      {"the user's lpoptions default while no scheduler answers",
       {{"CUPS_SERVER", silent}},
       "Default TolvaneTest\n",
       false,
       {"'TolvaneTest'", "home/.cups/lpoptions", "no CUPS scheduler answers at " + silent}},
      {"an lpoptions default of an instance that names no queue",
       {},
       "Default Nope/draft media=A4\n",
       true,
       {"'Nope'", "lpoptions"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    if (c.needsScheduler && !schedulerRuns) continue;
    TEnvironment environment;
    IsolateCupsClient(environment);
    for (const auto& [name, value] : c.environment) environment.Set(name, value);
    WriteFile("home/.cups/lpoptions", c.lpoptions);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 2);
    EXPECT_FALSE(FileExists("tolvane.pdf"));
    for (const std::string& part : c.said) EXPECT_TRUE(Contains(job.Errors, part)) << job.Errors;
  }
  // Where nothing names a default anywhere, the built-in PDF printer is it.
  TEnvironment environment;
  IsolateCupsClient(environment);
  environment.Set("CUPS_SERVER", silent);
  WriteFile("home/.cups/lpoptions", "");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Errors, "");
  EXPECT_TRUE(FileExists("tolvane.pdf"));
}

TEST_F(Diagnostics, ADefaultQueueThatExistsIsPrintedTo) {
  std::string missing = cups_test::TestQueueMissing();
  if (!missing.empty()) GTEST_SKIP() << missing;
  cups_test::TTestQueueLock lock;
  std::set<int> known;
  for (const auto& columns : cups_test::TestQueueJobs(false))
    known.insert(cups_test::JobId(columns));
  WriteFile("report.txt", "A");
  WriteSystemProfile("");
  TEnvironment environment;
  IsolateCupsClient(environment);
  environment.Set("PRINTER", "tolvanetest");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Errors, "");
  EXPECT_FALSE(FileExists("tolvane.pdf"));
  int sent = 0;
  for (const auto& columns : cups_test::TestQueueJobs(false))
    if (!known.count(cups_test::JobId(columns))) sent = cups_test::JobId(columns);
  ASSERT_NE(sent, 0);
  EXPECT_TRUE(cups_test::WaitUntilJobEnds(sent));
  std::error_code ignored;
  fs::remove(cups_test::TestQueuePdf(sent), ignored);
}

TEST_F(Diagnostics, FallbacksOfThePrinterSectionAreSaidAndTheJobGoesOn) {
  WriteFile("report.txt", "A");
  struct Case {
    std::string key;
    std::string said;
  } cases[] = {
      {"paper=A6", "paper=A6 in its profile section is not a paper size"},
      {"resolution=abc", "resolution=abc in its profile section is not a resolution"},
      {"margins=1,2", "margins=1,2 in its profile section is not one margin or four"},
      {"horzres=12px", "horzres=12px in its profile section is not a whole number"},
      {"codepage=12345", "code page 12345 is not known to iconv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    WriteSystemProfile("[windows]\ndevice=P,PDF,out.pdf\n[P]\n" + c.key + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_TRUE(FileExists("out.pdf"));
    EXPECT_EQ(job.Errors.rfind("tolvane: ", 0), 0u);
    EXPECT_TRUE(Contains(job.Errors, c.said)) << job.Errors;
  }
}

TEST_F(Diagnostics, FailureWarningNamesWhereTheJobWas) {
  WriteConfiguration("[sequences]\nF=FSIZ:36\nC=FSIZ:36\n");
  struct Case {
    std::string report;
    std::string place;
  } cases[] = {
      {"A\nB\n\x1b"
       "F:1-2;",
       "report.txt, line 3, ESC F runs \"FSIZ:36,1-2\": "},
      {"A\x1b"
       "F:-x;",
       "report.txt, line 1, ESC F runs \"FSIZ:36,-x\": "},
      {"\n\n\n\n\fA\x1b"
       "C:1.2.3",
       "report.txt, line 5, ESC C runs \"FSIZ:36,1.2.3\": "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.place);
    WriteFile("report.txt", c.report);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 1);
    std::vector<std::string> lines = TraceLines(job.Errors);
    ASSERT_EQ(lines.size(), 2u) << job.Errors;
    EXPECT_EQ(lines[0] + "\n", FailureWarning);
    EXPECT_EQ(lines[1].rfind(c.place, 0), 0u) << lines[1];
  }
}

TEST_F(Diagnostics, MissingLogoWarningNamesTheFileLookedFor) {
  fs::create_directories(PathOf("art"));
  WriteFile("report.txt", "\x1bG:1,2;A");
  struct Case {
    std::string command;
    std::string detail;
  } cases[] = {
      {"BITM:nothere.bmp", "logo file 'nothere.bmp' (looked for as " + PathOf("nothere.bmp") +
                               "): No such file or directory"},
      {"BITM:art/x.bmp", "logo file 'art/x.bmp' (looked for as " + PathOf("art/x.bmp") +
                             "): No such file or directory"},
      {"BITM:art", "logo file 'art' (looked for as " + PathOf("art") + "): it is a directory"},
      {"BITM:", "BITM names no logo file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    WriteConfiguration("[sequences]\nG=" + c.command + "\n");
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Errors, std::string(MissingLogoWarning) + c.detail + "\n");
  }
}

TEST_F(Diagnostics, CheckShowsWhatAJobWouldUseAndEveryProblem) {
  WriteFile("logo.bmp", "BM");
  WriteFile("report.txt",
            "A\x1bQ\x1bQ\n\x1b"
            "F:1;\fB\x1bZ\n");
  struct Case {
    const char* why;
    std::string configuration;
    std::vector<std::string> problems;  // empty: a clean configuration
  } cases[] = {
      {"a clean configuration",
       "[preferences]\nleftmargin=10\n[sequences]\nF=FSIZ:36\nQ=BOLD:1\nZ=VERT:0\n",
       {}},
      {"an unknown command",
       "[sequences]\nF=FSIZ:36\nQ=BLOD:1\nZ=VERT:0\n",
       {"line 3 (Q=BLOD:1)", "'BLOD'"}},
      {"an unknown section", "[sequence]\nF=FSIZ:36\n", {"line 1 ([sequence])", "unknown section"}},
      {"a margin that reads otherwise",
       "[preferences]\nleftmargin=2O\n",
       {"leftmargin=2O", "reads 2 mm"}},
      {"an argument that reads otherwise", "[sequences]\nF=FSIZ:12mm\n", {"'12mm' reads 12"}},
      {"a conversion that wraps", "[conversion]\n65=300\n", {"300 wraps to 44"}},
      {"a conversion that fails the job", "[conversion]\n65=1-2\n", {"fails the job"}},
      {"a key that is never read", "[conversion]\n065=1\n", {"065=1", "plain decimal"}},
      {"an unknown preference", "[preferences]\nprinterr=PDF\n", {"no key 'printerr'"}},
      {"a repeated key",
       "[preferences]\nfont=A\nfont=B\n",
       {"line 3", "repeats the key of line 2"}},
      {"a missing logo",
       "[sequences]\nG=BITM:nothere.bmp,1,2,3,4\n",
       {"'nothere.bmp'", "No such file"}},
      {"a logo that would be refused", "[sequences]\nG=BITM:logo.bmp\n", {"'logo.bmp'", "refused"}},
      {"a logo that is a directory", "[sequences]\nG=BITM:.,1\n", {"'.'", "not a regular file"}},
      {"a sequence key of two letters", "[sequences]\nFF=FSIZ:1\n", {"FF=FSIZ:1", "never used"}},
      {"a line of no form", "[preferences]\nfont\n", {"line 2 (font)", "neither"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteConfiguration(c.configuration);
    std::set<std::string> before = Listing();
    TJobResult job = Run({"--check"});
    EXPECT_EQ(Listing(), before);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_TRUE(Contains(job.Output, "printer: Trace (driver TRACE, output job.trace)"))
        << job.Output;
    EXPECT_TRUE(Contains(job.Output, "printable area: 203 x 287 mm, 2400 x 3390 pixels"));
    EXPECT_TRUE(Contains(job.Output, "code page: 1252"));
    EXPECT_TRUE(Contains(job.Output, "\nfont: "));
    EXPECT_EQ(job.ExitCode, c.problems.empty() ? 0 : 1) << job.Output;
    EXPECT_EQ(Contains(job.Output, "problem: "), !c.problems.empty()) << job.Output;
    for (const std::string& part : c.problems)
      EXPECT_TRUE(Contains(job.Output, part)) << job.Output;
    // With the print file: its pages, and the letters no entry names.
    TJobResult withFile = Run({"--check", "report.txt"});
    EXPECT_TRUE(Contains(withFile.Output, "print file: report.txt: 2 pages, 2 lines"))
        << withFile.Output;
    EXPECT_EQ(withFile.ExitCode, c.problems.empty() ? 0 : 1);
    EXPECT_EQ(Listing(), before);
  }
  WriteConfiguration("[sequences]\nF=FSIZ:36\n");
  TJobResult job = Run({"--check", "report.txt"});
  EXPECT_TRUE(Contains(job.Output, "line 1: ESC Q (2 times) has no entry")) << job.Output;
  EXPECT_TRUE(Contains(job.Output, "line 2: ESC Z (1 time)")) << job.Output;
  EXPECT_FALSE(Contains(job.Output, "ESC F"));
  // A printer that gives none is a problem, and says why.
  WriteSystemProfile("[windows]\ndevice=P,PFD,out.pdf\n");
  job = Run({"--check"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_TRUE(Contains(job.Output, "problem: no printer")) << job.Output;
  EXPECT_TRUE(Contains(job.Errors, "driver 'PFD'")) << job.Errors;
}

TEST_F(Diagnostics, ListPrintersNamesEachPrinterAndTheDefault) {
  WriteSystemProfile(
      "[windows]\ndevice=Office,PDF,office.pdf\n[Devices]\nOffice=PDF,office.pdf\n"
      "Sheets=PNG,s.png\npdf=PS,x.ps\n");
  TEnvironment environment;
  IsolateCupsClient(environment);
  environment.Set("CUPS_SERVER", "localhost:" + std::to_string(SilentPort()));
  TJobResult job = Run({"--list-printers"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Errors, "");
  const std::string profile = PathOf("system.ini");
  EXPECT_EQ(job.Output, "printer Office: PDF,office.pdf (" + profile + ")\n" +
                            "printer Sheets: PNG,s.png (" + profile + ")\n" +
                            "printer pdf: PS,x.ps (" + profile + ")\n" +
                            "printer Trace: TRACE,tolvane.trace (built in)\n" +
                            "default printer: Office (" + profile + ")\n");
  WriteSystemProfile("");
  job = Run({"--list-printers"});
  EXPECT_TRUE(
      Contains(job.Output, "default printer: PDF (built in: no default printer is configured)"))
      << job.Output;
  environment.Set("PRINTER", "NoSuch");
  job = Run({"--list-printers"});
  EXPECT_TRUE(
      Contains(job.Output, "default printer: NoSuch (PRINTER; no printer of that name exists"))
      << job.Output;
}

TEST_F(Diagnostics, ATerminalSeesProgressAndASummaryOfALongJob) {
  // The report comes through a pipe that stalls half way for longer than
  // the second after which progress shows, so the job is long however fast
  // it prints.
  std::string page;
  for (int line = 0; line < 66; line++) page += std::string(80, 'x') + "\n";
  std::string half;
  for (int sheet = 0; sheet < 100; sheet++) half += page + "\f";
  WriteFile("report.txt", half + half);
  ASSERT_EQ(mkfifo(PathOf("report.pipe").c_str(), 0600), 0);
  WriteSystemProfile("[windows]\ndevice=T,TRACE,/dev/null\n");
  int terminal = -1, side = -1;
  ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
  pid_t child = fork();
  if (child == 0) {
    dup2(side, 2);
    if (chdir(directory_.c_str()) != 0) _exit(127);
    setenv("TOLVANE_SYSTEM_PROFILE", PathOf("system.ini").c_str(), 1);
    execl("./tolvane", "./tolvane", "report.pipe", "1", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(side);
  {
    std::FILE* pipe = std::fopen(PathOf("report.pipe").c_str(), "wb");
    ASSERT_NE(pipe, nullptr);
    std::fwrite(half.data(), 1, half.size(), pipe);
    std::fflush(pipe);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    std::fwrite(half.data(), 1, half.size(), pipe);
    std::fclose(pipe);
  }
  std::string seen;
  char chunk[4096];
  for (ssize_t got; (got = read(terminal, chunk, sizeof chunk)) > 0;) seen.append(chunk, got);
  close(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(Contains(seen, "\rtolvane: ")) << seen;
  EXPECT_TRUE(Contains(seen, " sheets printed, ")) << seen;
  EXPECT_TRUE(Contains(seen, " pages read")) << seen;
  EXPECT_TRUE(Contains(seen, "tolvane: 200 sheets to TRACE: /dev/null\r\n")) << seen;
  // Without a terminal, the same job says nothing.
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Errors, "");
}

}  // namespace
