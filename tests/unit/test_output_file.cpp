// Output files appear at their targets only when committed, replace an
// older file in one step, and leave nothing behind otherwise; sheet files
// take their names from the port's pattern.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
