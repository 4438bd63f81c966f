// A CUPS scheduler that stops answering while a job is sent: the job is
// reported printed only when the scheduler holds all of it, and a scheduler
// silent for a minute in all fails it. The scheduler is a private cupsd
// (own ServerRoot, spool and port) stopped with SIGSTOP, so the shared one
// is never touched; it needs root, as CI has.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "cups_test_queue.h"
#include "host.h"

namespace {

namespace fs = std::filesystem;
using cups_test::CommandOutput;
using namespace std::chrono_literals;

const char StallQueue[] = "TolvaneStall";

// A port that nothing listens on, drawn from the process number so that
// tests running side by side do not draw the same one.
int FreePort() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    int port = 30000 + (getpid() * 31 + attempt * 97) % 30000;
    int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool free = bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(probe);
    if (free) return port;
  }
  return 0;
}

class CupsStall : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    if (geteuid() != 0) GTEST_SKIP() << "a private CUPS scheduler needs root (as in CI)";
    if (!fs::exists("/usr/sbin/cupsd")) GTEST_SKIP() << "cupsd is not installed";
    Root = PathOf("cupsd");
    for (const char* part : {"", "/spool", "/cache", "/state", "/log", "/temp"})
      fs::create_directories(Root + part);
    chmod(directory_.c_str(), 0755);
    chmod(Root.c_str(), 0755);
    Server = "localhost:" + std::to_string(FreePort());
    std::ofstream(Root + "/cupsd.conf")
        << "Listen " << Server << "\nLogLevel warn\nBrowsing No\nWebInterface No\n"
        << "DefaultAuthType None\n<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
        << "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n";
    std::ofstream(Root + "/cups-files.conf")
        << "ServerRoot " << Root << "\nRequestRoot " << Root << "/spool\nCacheDir " << Root
        << "/cache\nStateDir " << Root << "/state\nTempDir " << Root << "/temp\nErrorLog "
        << Root << "/log/error_log\nAccessLog " << Root << "/log/access_log\nPageLog " << Root
        << "/log/page_log\nFileDevice Yes\n";
    Scheduler = fork();
    if (Scheduler == 0) {
      execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (Root + "/cupsd.conf").c_str(), "-s",
            (Root + "/cups-files.conf").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int tries = 0; tries < 100 && !Running(); ++tries) std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(Running()) << "the private cupsd did not start";
    // Held jobs keep what they received in the spool, where it is checked.
    int status = 0;
    CommandOutput("lpadmin -h " + Server + " -p " + StallQueue + " -E -v file:///dev/null -m raw",
                  &status);
    ASSERT_EQ(status, 0);
    WriteSystemProfile("");
    WriteConfiguration(std::string("[preferences]\nprinter=") + StallQueue + "\n");
  }

  void TearDown() override {
    if (Scheduler > 0) {
      kill(Scheduler, SIGCONT);
      kill(Scheduler, SIGTERM);
      waitpid(Scheduler, nullptr, 0);
    }
    HostTest::TearDown();
  }

  bool Running() {
    return CommandOutput("LC_ALL=C lpstat -h " + Server + " -r").find("is running") !=
           std::string::npos;
  }

  // Prints a report of `pages` sheets, stopping the scheduler once the
  // document arrives and going on with it after `stall` (never, when the
  // job ends first); the job's wait status.
  int PrintThroughStall(int pages, std::chrono::seconds stall, int seconds) {
    pid_t job = StartSending(pages);
    kill(Scheduler, SIGSTOP);
    std::thread resume([&] {
      auto until = std::chrono::steady_clock::now() + stall;
      while (std::chrono::steady_clock::now() < until && !Ended) std::this_thread::sleep_for(50ms);
      kill(Scheduler, SIGCONT);
    });
    int status = Wait(job, seconds);
    Ended = true;
    resume.join();
    return status;
  }

  // Starts a job of `pages` sheets and returns once its document arrives,
  // not while the job still asks about the queue (those questions have
  // bounds of a few seconds).
  pid_t StartSending(int pages) {
    std::string report;
    for (int page = 1; page <= pages; ++page) {
      for (int line = 0; line < 40; ++line)
        report += "page " + std::to_string(page) + " line " + std::to_string(line) +
                  " of a report that fills its sheets\n";
      if (page < pages) report += "\f";
    }
    WriteFile("report.txt", report);
    pid_t job = Start({"report.txt", "1"}, {"CUPS_SERVER=" + Server});
    for (int tries = 0; tries < 1000 && BytesRead(job) < report.size() / 4; ++tries)
      std::this_thread::sleep_for(10ms);
    return job;
  }

  // How far the job has read: the report is drawn, and its document sent,
  // as it is read.
  static uintmax_t BytesRead(pid_t job) {
    std::ifstream io("/proc/" + std::to_string(job) + "/io");
    std::string field;
    uintmax_t value = 0;
    while (io >> field >> value)
      if (field == "rchar:") return value;
    return 0;
  }

  // The last document the scheduler received.
  std::string LastDocument() {
    std::string last;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(Root + "/spool", ignored))
      if (entry.path().filename().string().rfind("d", 0) == 0 && entry.path().string() > last)
        last = entry.path().string();
    return last;
  }
  int ReceivedPages() {
    std::string info = CommandOutput("pdfinfo " + LastDocument());
    size_t at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
  }

  std::string Root, Server;
  pid_t Scheduler = -1;
  std::atomic<bool> Ended{false};
};

TEST_F(CupsStall, AShortStallLosesNothing) {
  int status = PrintThroughStall(4000, 5s, 120);
  ASSERT_TRUE(status != -1 && WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << ReadFile("stderr.txt");
  EXPECT_EQ(ReceivedPages(), 4000);
}

// Stopped for good: the job fails after a minute of silence in all, rather
// than waiting a minute for every piece or reporting a cut job printed.
TEST_F(CupsStall, ASchedulerSilentForAMinuteFailsTheJob) {
  auto started = std::chrono::steady_clock::now();
  int status = PrintThroughStall(4000, 600s, 170);
  ASSERT_NE(status, -1) << "the job still waited after 170 s";
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 120s);
  EXPECT_NE(ReadFile("stderr.txt").find("scheduler"), std::string::npos) << ReadFile("stderr.txt");
}

// A signal that ends the program while a job is sent cancels the job (it
// does not wait in the queue for a document that never ends) and ends the
// program as the signal does, promptly even when the scheduler is stopped.
TEST_F(CupsStall, ATerminationSignalCancelsTheJob) {
  for (bool stopped : {false, true}) {
    SCOPED_TRACE(stopped ? "scheduler stopped" : "scheduler running");
    pid_t job = StartSending(4000);
    if (stopped) kill(Scheduler, SIGSTOP);
    auto signalled = std::chrono::steady_clock::now();
    kill(job, SIGTERM);
    int status = Wait(job, 30);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, 10s);
    kill(Scheduler, SIGCONT);
    ASSERT_NE(status, -1) << "the job still ran 30 s after SIGTERM";
    ASSERT_TRUE(WIFSIGNALED(status)) << ReadFile("stderr.txt");
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    if (!stopped) {
      EXPECT_EQ(CommandOutput("lpstat -h " + Server + " -W not-completed -o " + StallQueue), "");
    }
    CommandOutput("cancel -h " + Server + " -a " + StallQueue);
  }
}

}  // namespace
