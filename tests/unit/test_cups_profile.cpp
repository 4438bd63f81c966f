// The CUPS queues as printers of the system printer profile: what a live
// scheduler answers, and that a scheduler that is missing or mute costs a
// job no more than a moment.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <cups/cups.h>
#include <gtest/gtest.h>

#include "../e2e/cups_test_queue.h"
#include "device/linux/cups_geometry.h"
#include "os/linux/cups_scheduler.h"
#include "os/win32.h"

namespace tolvane {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const char* const PrinterVariables[] = {"TOLVANE_SYSTEM_PROFILE", "PRINTER", "LPDEST"};

class CupsProfile : public ::testing::Test {
 protected:
  CupsProfile() {
    for (const char* name : PrinterVariables)
      if (const char* value = getenv(name)) Saved.emplace_back(name, value);
  }
  ~CupsProfile() override {
    if (Socket >= 0) close(Socket);
    for (const char* name : PrinterVariables) unsetenv(name);
    for (const auto& [name, value] : Saved) setenv(name.c_str(), value.c_str(), 1);
  }
  void SetUp() override {
    char pattern[] = "/tmp/tolvane_cups_profile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
    UseProfile("");
    unsetenv("PRINTER");
    unsetenv("LPDEST");
    ForgetCupsDestinations();
    alarm(60);  // a lookup that hangs ends the test program, not the test run
  }
  void TearDown() override {
    alarm(0);
    cupsSetServer(nullptr);
    ForgetCupsDestinations();
    std::error_code ignored;
    if (!Dir.empty()) std::filesystem::remove_all(Dir, ignored);
  }

  // Each profile is a new file, so no cached copy of an earlier one answers.
  void UseProfile(const std::string& text) {
    std::string path = Dir + "/system" + std::to_string(++Written) + ".ini";
    std::ofstream(path) << text;
    setenv("TOLVANE_SYSTEM_PROFILE", path.c_str(), 1);
  }

  static std::string Read(const char* section, const char* key) {
    char buffer[256];
    GetProfileStringA(section, key, "dflt", buffer, sizeof buffer);
    return buffer;
  }

  // Points libcups at a loopback port where a socket is bound: listening, it
  // takes connections and never answers; not listening, it refuses them.
  void UseLoopbackScheduler(bool listening) {
    Socket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(Socket, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length), 0);
    if (listening) {
      ASSERT_EQ(listen(Socket, 8), 0);
    }
    cupsSetServer(("127.0.0.1:" + std::to_string(ntohs(address.sin_port))).c_str());
  }

  std::vector<std::pair<std::string, std::string>> Saved;
  std::string Dir;
  int Written = 0;
  int Socket = -1;
};

TEST_F(CupsProfile, NoSchedulerMeansTheBuiltInPrintersAtOnce) {
  UseLoopbackScheduler(false);
  auto start = Clock::now();
  for (int question = 0; question < 5; ++question) {
    EXPECT_EQ(Read("Devices", "TolvaneTest"), "dflt");
    EXPECT_EQ(Read("windows", "device"), "PDF,PDF,tolvane.pdf");
    EXPECT_EQ(Read("Devices", "Trace"), "TRACE,tolvane.trace");
  }
  EXPECT_LT(Clock::now() - start, milliseconds(1000));
}

TEST_F(CupsProfile, MuteSchedulerIsGivenUpOnWithinSeconds) {
  UseLoopbackScheduler(true);
  auto start = Clock::now();
  EXPECT_EQ(Read("Devices", "TolvaneTest"), "dflt");
  auto first = Clock::now() - start;
  EXPECT_LT(first, std::chrono::seconds(5));
  // The run asks once: the later questions cost nothing.
  EXPECT_EQ(Read("windows", "device"), "PDF,PDF,tolvane.pdf");
  EXPECT_LT(Clock::now() - start - first, milliseconds(200));
}

class LiveCupsProfile : public CupsProfile {
 protected:
  void SetUp() override {
    std::string missing = cups_test::TestQueueMissing();
    if (!missing.empty()) GTEST_SKIP() << "CUPS queue tests skipped: " << missing;
    CupsProfile::SetUp();
  }
};

TEST_F(LiveCupsProfile, QueuesArePrintersOfTheCupsDriver) {
  const std::string entry = "CUPS,cups-pdf:/TolvaneTest";
  EXPECT_EQ(Read("Devices", "TolvaneTest"), entry);
  EXPECT_EQ(Read("DEVICES", "tolvanetest"), entry);
  for (const char* other : {"TolvaneTes", "TolvaneTest2", ""})
    EXPECT_EQ(Read("Devices", other), "dflt") << other;
  // Only the printer list comes from CUPS, never a printer's own section.
  EXPECT_EQ(Read("TolvaneTest", "TolvaneTest"), "dflt");
  EXPECT_EQ(Read("windows", "TolvaneTest"), "dflt");
  // The destination keeps its own spelling for the job.
  cups_dest_t* dest = FindCupsDestination("tolvanETEST");
  ASSERT_NE(dest, nullptr);
  EXPECT_STREQ(dest->name, "TolvaneTest");

  // The profile file comes first; an empty entry there lets CUPS answer.
  UseProfile("[Devices]\ntolvanetest=TRACE,queue.trace\n");
  EXPECT_EQ(Read("Devices", "TolvaneTest"), "TRACE,queue.trace");
  UseProfile("[Devices]\nTolvaneTest=\n");
  EXPECT_EQ(Read("Devices", "TolvaneTest"), entry);
}

TEST_F(LiveCupsProfile, DefaultDestinationIsTheDefaultPrinter) {
  const char* cases[][2] = {{"PRINTER", "TolvaneTest"}, {"PRINTER", "tolvanetest"},
                            {"LPDEST", "TolvaneTest"}};
  for (auto& c : cases) {
    unsetenv("PRINTER");
    setenv(c[0], c[1], 1);
    ForgetCupsDestinations();
    EXPECT_EQ(Read("Windows", "Device"), "TolvaneTest,CUPS,cups-pdf:/TolvaneTest") << c[0];
    unsetenv(c[0]);
  }
  // A default that names no queue is a printer without a driver, never the
  // built-in PDF; the file's default still wins.
  setenv("PRINTER", "NoSuchTolvaneQueue", 1);
  ForgetCupsDestinations();
  EXPECT_EQ(Read("windows", "device"), "NoSuchTolvaneQueue,,");
  setenv("PRINTER", "TolvaneTest", 1);
  ForgetCupsDestinations();
  UseProfile("[windows]\ndevice=Trace,TRACE,t\n");
  EXPECT_EQ(Read("windows", "device"), "Trace,TRACE,t");
}

TEST_F(LiveCupsProfile, QueueReportsItsPaperAndResolution) {
  // scripts/cups-test-setup.sh gives the queue A4 at 300 dpi; the cups-pdf
  // driver measures it in points (595 x 842) and prints to its edges.
  cups_dest_t* dest = FindCupsDestination("TolvaneTest");
  ASSERT_NE(dest, nullptr);
  TCupsConnection connection;
  ASSERT_TRUE(ConnectForQuestions(connection, std::chrono::seconds(5)));
  TPrinterGeometry queue = ReadCupsQueueGeometry(connection.Http, dest);
  CloseCupsConnection(connection);
  EXPECT_NEAR(queue.PaperWidthMicro, 210000, 200);
  EXPECT_NEAR(queue.PaperHeightMicro, 297000, 200);
  EXPECT_EQ(queue.MarginLeftMicro + queue.MarginTopMicro + queue.MarginRightMicro +
                queue.MarginBottomMicro, 0);
  EXPECT_EQ(queue.DpiX, 300);
  EXPECT_EQ(queue.DpiY, 300);
}

}  // namespace
}  // namespace tolvane
