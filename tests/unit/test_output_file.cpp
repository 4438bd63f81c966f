// Output files appear at their targets only when committed, replace an
// older file in one step, and leave nothing behind otherwise; sheet files
// take their names from the port's pattern.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "device/linux/output_file.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// Each test in a directory of its own, with nameless files turned on or
// off as the parameter says (off is the path of file systems without them).
class OutputFile : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvane_output_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
    SetAnonymousOutputFiles(GetParam());
  }
  void TearDown() override {
    SetAnonymousOutputFiles(true);
    fs::remove_all(Dir);
  }
  std::string Path(const std::string& name) const { return (Dir / name).string(); }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir)) names.insert(entry.path().filename());
    return names;
  }
  std::string Read(const std::string& name) const {
    std::stringstream text;
    text << std::ifstream(Path(name), std::ios::binary).rdbuf();
    return text.str();
  }
  void Put(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  fs::path Dir;
};

TEST_P(OutputFile, CommitPutsTheWholeFileInPlace) {
  TOutputFile file;
  std::string failure;
  ASSERT_TRUE(CreateOutputFile(file, Path("out.pdf"), failure)) << failure;
  // Larger than the buffer, in pieces of every size.
  std::string expected;
  for (int i = 0; i < 5000; ++i) {
    std::string piece(i % 97, char('a' + i % 26));
    expected += piece;
    ASSERT_TRUE(WriteOutputFile(file, piece.data(), piece.size()));
  }
  std::string big(200000, 'z');
  ASSERT_TRUE(WriteOutputFile(file, big.data(), big.size()));
  expected += big;
  EXPECT_FALSE(fs::exists(Path("out.pdf")));
  ASSERT_TRUE(CommitOutputFile(file, failure)) << failure;
  EXPECT_EQ(Read("out.pdf"), expected);
  EXPECT_EQ(Names(), std::set<std::string>{"out.pdf"});
  EXPECT_EQ(HiddenOutputFileCount(), 0u);
}

TEST_P(OutputFile, AnOlderFileStaysUntilTheNewOneIsCommitted) {
  Put("out.pdf", "older");
  {
    TOutputFile dropped;
    std::string failure;
    ASSERT_TRUE(CreateOutputFile(dropped, Path("out.pdf"), failure));
    WriteOutputFile(dropped, "newer", 5);
    if (!GetParam()) {
      EXPECT_EQ(HiddenOutputFileCount(), 1u);
    }
    DiscardOutputFile(dropped);
    TOutputFile forgotten;
    TOutputFileGuard guard = GuardOutputFile(forgotten);  // never committed: the guard drops it
    ASSERT_TRUE(CreateOutputFile(forgotten, Path("out.pdf"), failure));
    WriteOutputFile(forgotten, "newest", 6);
  }
  EXPECT_EQ(Read("out.pdf"), "older");
  EXPECT_EQ(Names(), std::set<std::string>{"out.pdf"});
  EXPECT_EQ(HiddenOutputFileCount(), 0u);
  TOutputFile replacing;
  std::string failure;
  ASSERT_TRUE(CreateOutputFile(replacing, Path("out.pdf"), failure));
  WriteOutputFile(replacing, "newer", 5);
  ASSERT_TRUE(CommitOutputFile(replacing, failure)) << failure;
  EXPECT_EQ(Read("out.pdf"), "newer");
}

// Sheets that wait without a descriptor keep their contents under a hidden
// name, which goes when they are committed or dropped.
TEST_P(OutputFile, ParkedFilesKeepTheirContents) {
  std::string failure;
  TOutputFile kept, dropped;
  ASSERT_TRUE(CreateOutputFile(kept, Path("a.png"), failure));
  ASSERT_TRUE(CreateOutputFile(dropped, Path("b.png"), failure));
  WriteOutputFile(kept, "sheet a", 7);
  WriteOutputFile(dropped, "sheet b", 7);
  ASSERT_TRUE(ParkOutputFile(kept, failure)) << failure;
  ASSERT_TRUE(ParkOutputFile(dropped, failure)) << failure;
  EXPECT_FALSE(OutputFileHoldsDescriptor(kept));
  EXPECT_EQ(HiddenOutputFileCount(), 2u);
  EXPECT_EQ(Names().size(), 2u);  // the two hidden names, no target yet
  DiscardOutputFile(dropped);
  ASSERT_TRUE(CommitOutputFile(kept, failure)) << failure;
  EXPECT_EQ(Names(), std::set<std::string>{"a.png"});
  EXPECT_EQ(Read("a.png"), "sheet a");
  EXPECT_EQ(HiddenOutputFileCount(), 0u);
}

TEST_P(OutputFile, UnwritableTargetsAreRefusedAtOnce) {
  fs::create_directory(Dir / "directory");
  for (std::string target : {Path("missing/out.pdf"), Path("directory"), std::string()}) {
    TOutputFile file;
    std::string failure;
    EXPECT_FALSE(CreateOutputFile(file, target, failure)) << target;
    EXPECT_FALSE(failure.empty());
  }
  EXPECT_EQ(Names(), std::set<std::string>{"directory"});
}

// A link is followed rather than replaced, the older file's permissions
// stay, and a pipe (or a device) is written to, not replaced by a file.
TEST_P(OutputFile, LinksPermissionsAndPipesAreRespected) {
  std::string failure;
  Put("real.pdf", "older");
  chmod(Path("real.pdf").c_str(), 0640);
  fs::create_symlink("real.pdf", Dir / "link.pdf");
  TOutputFile linked;
  ASSERT_TRUE(CreateOutputFile(linked, Path("link.pdf"), failure)) << failure;
  WriteOutputFile(linked, "newer", 5);
  ASSERT_TRUE(CommitOutputFile(linked, failure)) << failure;
  EXPECT_TRUE(fs::is_symlink(Dir / "link.pdf"));
  EXPECT_EQ(Read("real.pdf"), "newer");
  struct stat info;
  ASSERT_EQ(stat(Path("real.pdf").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  int reading = open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reading, 0);
  TOutputFile piped;
  ASSERT_TRUE(CreateOutputFile(piped, Path("pipe"), failure)) << failure;
  WriteOutputFile(piped, "through the pipe", 16);
  EXPECT_TRUE(CommitOutputFile(piped, failure)) << failure;
  char buffer[64] = {};
  std::string received(buffer, std::max<ssize_t>(0, read(reading, buffer, sizeof buffer)));
  close(reading);
  EXPECT_EQ(received, "through the pipe");
  EXPECT_EQ(fs::status(Dir / "pipe").type(), fs::file_type::fifo);
  EXPECT_EQ(Names(), (std::set<std::string>{"link.pdf", "pipe", "real.pdf"}));
}

// A link that names no file yet is followed too: the file it names is
// created, and the link stays.
TEST_P(OutputFile, DanglingLinksGetTheFileTheyName) {
  struct Case {
    std::string link, linksTo, created;
  } cases[] = {
      {"relative.pdf", "made.pdf", "made.pdf"},
      {"absolute.pdf", Path("absolute-made.pdf"), "absolute-made.pdf"},
      {"first.pdf", "second.pdf", "chained.pdf"},  // second.pdf links on below
  };
  fs::create_symlink("chained.pdf", Dir / "second.pdf");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    fs::create_symlink(c.linksTo, Dir / c.link);
    TOutputFile file;
    std::string failure;
    ASSERT_TRUE(CreateOutputFile(file, Path(c.link), failure)) << failure;
    WriteOutputFile(file, "report", 6);
    ASSERT_TRUE(CommitOutputFile(file, failure)) << failure;
    EXPECT_TRUE(fs::is_symlink(Dir / c.link));
    EXPECT_EQ(Read(c.created), "report");
  }
  EXPECT_EQ(HiddenOutputFileCount(), 0u);
}

// The hidden files of a process of this host that no longer runs go with
// the next file started in their directory; others stay.
TEST_P(OutputFile, LeftoversOfKilledRunsAreRemoved) {
  pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  std::string ours = std::string(host, strcspn(host, "./"));
  std::string dead = ".out.pdf.tolvane." + std::to_string(gone) + "@" + ours + ".0123456789abXyZ123";
  std::set<std::string> staying = {
      ".out.pdf.tolvane." + std::to_string(getpid()) + "@" + ours + ".0123456789ab",
      ".out.pdf.tolvane." + std::to_string(gone) + "@elsewhere.0123456789ab",
      ".out.pdf.tolvane.0123456789abcdefgh",
      "out.pdf.tolvane." + std::to_string(gone) + "@" + ours + ".0123456789ab",
      ".out.pdf.tolvane." + std::to_string(gone) + "@" + ours,
  };
  Put(dead, "left");
  for (const std::string& name : staying) Put(name, "kept");
  TOutputFile file;
  std::string failure;
  ASSERT_TRUE(CreateOutputFile(file, Path("other.pdf"), failure)) << failure;
  DiscardOutputFile(file);
  EXPECT_EQ(Names(), staying);
}

// A pipe with no reader gives no file at all, and one whose reader stops
// reading fails the commit once it has taken nothing for the stall limit.
TEST_P(OutputFile, PipesWithoutReadersFailInBoundedTime) {
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0600), 0);
  TOutputFile file;
  std::string failure;
  EXPECT_FALSE(CreateOutputFile(file, Path("pipe"), failure));
  EXPECT_NE(failure.find("no reader"), std::string::npos) << failure;

  int reading = open(Path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reading, 0);
  SetOutputStallLimit(200);
  ASSERT_TRUE(CreateOutputFile(file, Path("pipe"), failure)) << failure;
  std::string document(4 << 20, 'x');  // far more than a pipe holds
  WriteOutputFile(file, document.data(), document.size());
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(CommitOutputFile(file, failure));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_NE(failure.find("timed out"), std::string::npos) << failure;
  SetOutputStallLimit(60000);
  close(reading);
}

INSTANTIATE_TEST_SUITE_P(Nameless, OutputFile, ::testing::Values(true));
INSTANTIATE_TEST_SUITE_P(Hidden, OutputFile, ::testing::Values(false));

TEST(SheetFileName, PatternsNameEverySheet) {
  struct Case {
    const char* pattern;
    int number;
    const char* name;  // null: the pattern is refused
  } cases[] = {
      {"page-%03d.png", 7, "page-007.png"},
      {"page-%d.png", 12, "page-12.png"},
      {"%i-%%.svg", 3, "3-%.svg"},
      {"%-3u|.png", 1, "1  |.png"},
      {"%+.2d.png", 5, "+05.png"},
      {"out.png", 2, "out-2.png"},
      {"out", 3, "out-3"},
      {"dir.d/out", 1, "dir.d/out-1"},
      {"dir/.hidden", 1, "dir/.hidden-1"},
      {"a.b.c.svg", 4, "a.b.c-4.svg"},
      {"100%%.png", 2, "100%-2.png"},
      {"%d-%d.png", 1, nullptr},
      {"%s.png", 1, nullptr},
      {"%n.png", 1, nullptr},
      {"%#x.png", 1, nullptr},
      {"%ld.png", 1, nullptr},
      {"%123d.png", 1, nullptr},
      {"page%", 1, nullptr},
      {"-", 1, nullptr},
      {"", 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::string name;
    EXPECT_EQ(SheetFileName(c.pattern, c.number, name), c.name != nullptr);
    EXPECT_EQ(IsSheetFilePattern(c.pattern), c.name != nullptr);
    if (c.name) {
      EXPECT_EQ(name, c.name);
    }
  }
}

}  // namespace
}  // namespace tolvane
