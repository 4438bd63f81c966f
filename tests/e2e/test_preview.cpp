// The Preview printer: a PDF of its own in the temporary folder, handed to
// the desktop's viewer (here a stand-in that notes what it was given), and
// no printer at all where no viewer can show it.
#include <sys/stat.h>
#include <sys/wait.h>
#include <utime.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "host.h"

namespace fs = std::filesystem;

class Preview : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteSystemProfile("[windows]\ndevice=Show,Preview,\n[Devices]\nShow=Preview,\n");
    WriteFile("report.txt", "Hello preview\n");
    fs::create_directories(PathOf("bin"));
    fs::create_directories(PathOf("tmp"));
    WriteFile("bin/xdg-open", "#!/bin/sh\necho \"$1\" >>\"" + PathOf("opened.txt") + "\"\n");
    WriteFile("bin/xdg-mime", "#!/bin/sh\necho viewer.desktop\n");
    chmod(PathOf("bin/xdg-open").c_str(), 0755);
    chmod(PathOf("bin/xdg-mime").c_str(), 0755);
  }
  // Runs a job with the stand-in viewer first on PATH; its exit code.
  int Job(const std::vector<std::string>& arguments, std::vector<std::string> environment) {
    environment.push_back("PATH=" + PathOf("bin") + ":/usr/bin:/bin");
    environment.push_back("TMPDIR=" + PathOf("tmp"));
    int status = Wait(Start(arguments, environment), 60);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // What the viewer was handed, once it has run (it is not waited for).
  std::string Opened() {
    for (int i = 0; i < 200 && !FileExists("opened.txt"); i++) usleep(10000);
    return FileExists("opened.txt") ? ReadFile("opened.txt") : std::string();
  }
};

TEST_F(Preview, TheViewerGetsTheDocumentAndTheJobDoesNotWait) {
  // A viewer stays open long after the job has ended.
  WriteFile("bin/xdg-open",
            "#!/bin/sh\necho \"$1\" >>\"" + PathOf("opened.txt") + "\"\nexec sleep 20\n");
  time_t started = std::time(nullptr);
  ASSERT_EQ(Job({"report.txt", "1"}, {"DISPLAY=:99"}), 0);
  EXPECT_LT(std::time(nullptr) - started, 10);
  std::string opened = Opened();
  ASSERT_FALSE(opened.empty());
  opened.pop_back();
  EXPECT_EQ(fs::path(opened).parent_path(), fs::path(PathOf("tmp")));
  EXPECT_EQ(fs::path(opened).extension(), ".pdf");
  std::string text = PathOf("text.txt");
  ASSERT_EQ(system(("pdftotext '" + opened + "' '" + text + "'").c_str()), 0);
  EXPECT_EQ(ReadFile("text.txt").substr(0, 13), "Hello preview");
}

TEST_F(Preview, NoViewerNoPrinter) {
  struct Case {
    std::vector<std::string> environment;
    std::string said;
  } cases[] = {
      {{}, "there is no graphical session"},
      {{"WAYLAND_DISPLAY=wayland-9", "PATH=/nowhere"}, "xdg-open is not on PATH"},
  };
  WriteFile("bin/xdg-mime", "#!/bin/sh\n");
  for (const Case& c : cases) {
    std::vector<std::string> environment = c.environment;
    int status = Wait(Start({"report.txt", "1"}, environment), 60);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    EXPECT_NE(ReadFile("stderr.txt").find(c.said), std::string::npos) << ReadFile("stderr.txt");
  }
  // A viewer program but no viewer set up for PDF documents.
  EXPECT_EQ(Job({"report.txt", "1"}, {"DISPLAY=:99"}), 2);
  EXPECT_NE(ReadFile("stderr.txt").find("no PDF viewer is set up"), std::string::npos);
  EXPECT_FALSE(FileExists("opened.txt"));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

// Previews older than a day go with the next preview; younger ones, other
// files and a job that draws nothing open no viewer.
TEST_F(Preview, OldPreviewsAreRemovedAndAnEmptyDocumentShowsNothing) {
  const char* names[] = {"tolvane-preview-old.pdf", "tolvane-preview-young.pdf", "other-old.pdf"};
  for (const char* name : names) WriteFile(std::string("tmp/") + name, "x");
  struct utimbuf twoDaysAgo = {std::time(nullptr) - 2 * 86400, std::time(nullptr) - 2 * 86400};
  utime(PathOf("tmp/tolvane-preview-old.pdf").c_str(), &twoDaysAgo);
  utime(PathOf("tmp/other-old.pdf").c_str(), &twoDaysAgo);
  ASSERT_EQ(Job({"report.txt", "5"}, {"DISPLAY=:99"}), 0);
  EXPECT_FALSE(FileExists("tmp/tolvane-preview-old.pdf"));
  EXPECT_TRUE(FileExists("tmp/tolvane-preview-young.pdf"));
  EXPECT_TRUE(FileExists("tmp/other-old.pdf"));
  EXPECT_EQ(std::distance(fs::directory_iterator(PathOf("tmp")), fs::directory_iterator()), 2);
  EXPECT_EQ(Opened(), "");
}
