// Private profile reads: the INI rules, the buffer contract, the integer read
// and the cache that must follow the file on disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

class ProfileFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tolvane_profile_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
    Path = Dir + "/test.ini";
  }
  void TearDown() override { std::filesystem::remove_all(Dir); }
  void Write(const std::string& text, const std::string& path = "") {
    std::ofstream(path.empty() ? Path : path, std::ios::binary | std::ios::trunc) << text;
  }
  void Touch(const std::string& path, long nanoseconds) {
    timespec times[2] = {{1000000000, nanoseconds}, {1000000000, nanoseconds}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  }
  std::string Read(const char* section, const char* key, const char* fallback = "dflt") {
    char buffer[256];
    DWORD count = GetPrivateProfileStringA(section, key, fallback, buffer, 256, Path.c_str());
    EXPECT_EQ(count, std::strlen(buffer));
    return buffer;
  }
  std::string Dir, Path;
};

TEST_F(ProfileFile, LookupsFollowTheIniRules) {
  std::string text =
      "orphan=before any section\n[Main]\nName = Value  \nQUOTED=\"  spaced  \"\n"
      "single='abc'\nmixed=\"abc'\nlone=\"\nqempty=\"\"\nempty=\nblank = \t \nbare\n"
      "bare=later\ninline=65 ; note\ndup=first\nDUP=second\neq=a=b\n\t in = yes\n"
      ";hidden=x\n[ Spaced Section ]  trailing\nk=v\n[main]\nextra=second main\n"
      "[Other]\r\ncrlf = 1 \r\ncr=x\ry\r\n[broken\nafter=still Other\nnul=ab";
  text += '\0';
  text += "cd\nbig=" + std::string(3 << 20, 'x') + "\nlast=end";
  Write(text);
  const char* cases[][3] = {
      {"Main", "Name", "Value"},      {"mAIN", "nAME", "Value"},    {"Main", "quoted", "  spaced  "},
      {"Main", "single", "abc"},      {"Main", "mixed", "\"abc'"},  {"Main", "lone", "\""},
      {"Main", "qempty", "dflt"},     {"Main", "empty", "dflt"},    {"Main", "blank", "dflt"},
      {"Main", "bare", "dflt"},       {"Main", "inline", "65 ; note"}, {"Main", "dup", "first"},
      {"Main", "eq", "a=b"},          {"Main", "in", "yes"},        {"Main", ";hidden", "dflt"},
      {"Main", "hidden", "dflt"},     {"Main", "extra", "dflt"},    {"Main", "orphan", "dflt"},
      {"", "orphan", "dflt"},         {"Spaced Section", "k", "v"}, {"Other", "crlf", "1"},
      {"Other", "cr", "x\ry"},        {"Other", "after", "still Other"}, {"Other", "nul", "ab"},
      {"Other", "last", "end"},       {"Missing", "k", "dflt"},     {"Main", "", "dflt"},
  };
  for (auto& c : cases) EXPECT_EQ(Read(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
  EXPECT_EQ(Read("Other", "big"), std::string(255, 'x'));
  EXPECT_EQ(Read(nullptr, "k"), "dflt");
  EXPECT_EQ(Read("Main", nullptr), "dflt");
  EXPECT_EQ(Read("Main", "none", nullptr), "");
  for (std::string path : {Dir + "/none.ini", Dir}) {
    Path = path;
    EXPECT_EQ(Read("Main", "Name"), "dflt") << path;
  }
}

TEST_F(ProfileFile, ResultIsCutToTheBuffer) {
  Write("[S]\nk=Value\n");
  struct { DWORD Size; const char* Key; const char* Expected; } cases[] = {
      {1, "k", ""}, {2, "k", "V"}, {5, "k", "Valu"}, {6, "k", "Value"}, {3, "none", "de"},
  };
  for (auto& c : cases) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("S", c.Key, "default", buffer, c.Size, Path.c_str()),
              std::strlen(c.Expected));
    EXPECT_STREQ(buffer, c.Expected) << c.Size;
    EXPECT_EQ(buffer[c.Size], '#') << "wrote past size " << c.Size;
  }
  char untouched[4] = "abc";
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", untouched, 0, Path.c_str()), 0u);
  EXPECT_STREQ(untouched, "abc");
}

TEST_F(ProfileFile, IntegerReadTakesSignAndLeadingDigits) {
  const UINT fallback = static_cast<UINT>(-5);
  struct { const char* Value; UINT Expected; } cases[] = {
      {"42", 42u}, {"+42", 42u}, {"-42", static_cast<UINT>(-42)}, {" '15' ", 15u},
      {"12abc", 12u}, {"0x10", 0u}, {"abc", fallback}, {"+", fallback}, {"- 5", fallback},
      {"+-5", fallback}, {"", fallback}, {"-2147483648", 0x80000000u},
      {"4294967297", 1u}, {"-4294967297", 4294967295u},
      {"123456789012345678901234567890", 1312754386u},
  };
  for (auto& c : cases) {
    Write(std::string("[S]\nn=") + c.Value + "\n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "N", -5, Path.c_str()), c.Expected) << c.Value;
  }
  EXPECT_EQ(GetPrivateProfileIntA("S", "missing", 77, Path.c_str()), 77u);
  EXPECT_EQ(GetPrivateProfileIntA(nullptr, "n", 3, Path.c_str()), 3u);
}

TEST_F(ProfileFile, CacheFollowsTheFileOnDisk) {
  Write("[S]\nk=one\n");
  Touch(Path, 100);
  EXPECT_EQ(Read("S", "k"), "one");
  Write("[S]\nk=two\n");  // same inode, size and time: the parsed copy stands
  Touch(Path, 100);
  EXPECT_EQ(Read("S", "k"), "one");
  Touch(Path, 101);
  EXPECT_EQ(Read("S", "k"), "two");
  Write("[S]\nk=three\n");
  Touch(Path, 101);
  EXPECT_EQ(Read("S", "k"), "three");
  Write("[S]\nk=four!\n", Dir + "/new.ini");  // a new inode, nothing else moved
  Touch(Dir + "/new.ini", 101);
  ASSERT_EQ(std::rename((Dir + "/new.ini").c_str(), Path.c_str()), 0);
  EXPECT_EQ(Read("S", "k"), "four!");
  ASSERT_EQ(unlink(Path.c_str()), 0);
  EXPECT_EQ(Read("S", "k"), "dflt");
  Write("[S]\nk=five!\n");
  Touch(Path, 101);
  EXPECT_EQ(Read("S", "k"), "five!");
}

// Lookups repeat the same few names; what they found must follow the file
// and the spelling of the name must not matter.
TEST_F(ProfileFile, RepeatedLookupsFollowTheFile) {
  const std::string other = Dir + "/other.ini";
  const std::string longName = "a section name longer than sixteen";
  Write("[Seq]\nB=BOLD:1\nN=BOLD:0\n[" + longName + "]\nkey of a long name=long\n");
  Touch(Path, 100);
  Write("[seq]\nb=other\n", other);
  struct Step {
    const char* Edit;  // the file's new text, or null
    const char* Section;
    const char* Key;
    const char* Expected;
    bool Other = false;  // read the second file
  } steps[] = {
      {nullptr, "Seq", "B", "BOLD:1"},   {nullptr, "seq", "b", "BOLD:1"},
      {nullptr, "SEQ", "N", "BOLD:0"},   {nullptr, "Seq", "X", "dflt"},
      {nullptr, "Seq", "B", "other", true}, {nullptr, "Seq", "B", "BOLD:1"},
      {nullptr, "Seq", "Y", "dflt"},     {nullptr, "Seq", "Z", "dflt"},
      {nullptr, "Seq", "N", "BOLD:0"},   {nullptr, "Seq", "B", "BOLD:1"},
      {nullptr, longName.c_str(), "KEY OF A LONG NAME", "long"},
      {nullptr, longName.c_str(), "key of a long name", "long"},
      {"[Seq]\nB=BOLD:2\nX=added\n", "Seq", "B", "BOLD:2"},
      {nullptr, "Seq", "X", "added"},    {nullptr, "Seq", "N", "dflt"},
      {nullptr, "seq", "b", "BOLD:2"},   {nullptr, longName.c_str(), "key of a long name", "dflt"},
      {"", "Seq", "B", "dflt"},
  };
  long time = 100;
  for (const Step& step : steps) {
    if (step.Edit) {
      if (*step.Edit) {
        Write(step.Edit);
        Touch(Path, ++time);
      } else {
        ASSERT_EQ(unlink(Path.c_str()), 0);
      }
    }
    std::string saved = Path;
    if (step.Other) Path = other;
    EXPECT_EQ(Read(step.Section, step.Key), step.Expected) << step.Section << "/" << step.Key;
    Path = saved;
  }
}

}  // namespace
}  // namespace tolvane
