// Private profile reads: the INI rules, the buffer contract, the integer read
// and the cache that must follow the file on disk.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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

  void Write(const std::string& content, const std::string& path = "") {
    std::ofstream out(path.empty() ? Path : path, std::ios::binary | std::ios::trunc);
    out << content;
  }

  std::string Read(const char* section, const char* key, const char* fallback = "dflt") {
    char buffer[256];
    DWORD count = GetPrivateProfileStringA(section, key, fallback, buffer, sizeof buffer,
                                           Path.c_str());
    EXPECT_EQ(count, std::strlen(buffer));
    return buffer;
  }

  std::string Dir;
  std::string Path;
};

TEST_F(ProfileFile, LookupsFollowTheIniRules) {
  Write(
      "; leading comment\n"
      "orphan=before any section\n"
      "[Main]\n"
      "Name = Value  \n"
      "QUOTED=\"  spaced  \"\n"
      "single='abc'\n"
      "mixed=\"abc'\n"
      "lonequote=\"\n"
      "quotedempty=\"\"\n"
      "empty=\n"
      "blankonly = \t \n"
      "novalue\n"
      "novalue=later\n"
      "inline=65 ; note\n"
      "dup=first\n"
      "DUP=second\n"
      "eq=a=b\n"
      "\t indented = yes\n"
      ";comment=hidden\n"
      "[ Spaced Section ]  trailing text\n"
      "k=v\n"
      "[main]\n"
      "Name=from second main\n"
      "extra=from second main\n"
      "[Other]\n"
      "tab\t=\tval\t\n"
      "[broken\n"
      "after=still in Other\n");
  struct Case {
    const char* Section;
    const char* Key;
    const char* Expected;
  } cases[] = {
      {"Main", "Name", "Value"},
      {"mAIN", "nAME", "Value"},
      {"Main", "quoted", "  spaced  "},
      {"Main", "single", "abc"},
      {"Main", "mixed", "\"abc'"},
      {"Main", "lonequote", "\""},
      {"Main", "quotedempty", "dflt"},
      {"Main", "empty", "dflt"},
      {"Main", "blankonly", "dflt"},
      {"Main", "novalue", "dflt"},
      {"Main", "inline", "65 ; note"},
      {"Main", "dup", "first"},
      {"Main", "eq", "a=b"},
      {"Main", "indented", "yes"},
      {"Main", ";comment", "dflt"},
      {"Main", "comment", "dflt"},
      {"Main", "extra", "dflt"},
      {"Main", "orphan", "dflt"},
      {"", "orphan", "dflt"},
      {"Spaced Section", "k", "v"},
      {"Other", "tab", "val"},
      {"Other", "after", "still in Other"},
      {"Missing", "k", "dflt"},
      {"Main", "missing", "dflt"},
      {"Main", "", "dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.Section, c.Key), c.Expected) << c.Section << "/" << c.Key;
  }
}

TEST_F(ProfileFile, LineEndsAndOddBytes) {
  std::string text = "[S]\r\na=x\ry\r\nb = 1 \r\n[T]\r\nnul=ab";
  text += '\0';
  text += "cd\r\nafter=ok\r\nbig=" + std::string(3 << 20, 'x') + "\r\nlast=end";
  Write(text);
  EXPECT_EQ(Read("S", "a"), "x\ry");
  EXPECT_EQ(Read("S", "b"), "1");
  EXPECT_EQ(Read("T", "nul"), "ab");
  EXPECT_EQ(Read("T", "after"), "ok");
  EXPECT_EQ(Read("T", "big"), std::string(255, 'x'));
  EXPECT_EQ(Read("T", "last"), "end");
}

TEST_F(ProfileFile, MissingFileOrNamesGiveTheDefault) {
  Write("[S]\nk=v\n");
  EXPECT_EQ(Read(nullptr, "k"), "dflt");
  EXPECT_EQ(Read("S", nullptr), "dflt");
  EXPECT_EQ(Read("S", "none", nullptr), "");
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buffer, 8, (Dir + "/none.ini").c_str()), 1u);
  EXPECT_STREQ(buffer, "d");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buffer, 8, Dir.c_str()), 1u);
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", buffer, 8, nullptr), 1u);
  EXPECT_EQ(GetPrivateProfileIntA("S", "k", 9, (Dir + "/none.ini").c_str()), 9u);
}

TEST_F(ProfileFile, ResultIsCutToTheBuffer) {
  Write("[S]\nk=Value\n");
  struct Case {
    DWORD Size;
    const char* Key;
    DWORD Count;
    const char* Expected;
  } cases[] = {
      {1, "k", 0, ""},         {2, "k", 1, "V"},          {5, "k", 4, "Valu"},
      {6, "k", 5, "Value"},    {64, "k", 5, "Value"},     {3, "none", 2, "de"},
      {8, "none", 7, "default"},
  };
  for (const Case& c : cases) {
    char buffer[80];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetPrivateProfileStringA("S", c.Key, "default", buffer, c.Size, Path.c_str()),
              c.Count);
    EXPECT_STREQ(buffer, c.Expected) << "size " << c.Size;
    EXPECT_EQ(buffer[c.Size], '#') << "wrote past size " << c.Size;
  }
  char untouched[4] = "abc";
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", untouched, 0, Path.c_str()), 0u);
  EXPECT_STREQ(untouched, "abc");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "d", nullptr, 0, Path.c_str()), 0u);
}

TEST_F(ProfileFile, IntegerReadTakesSignAndLeadingDigits) {
  struct Case {
    const char* Value;
    UINT Expected;
  } cases[] = {
      {"42", 42u},
      {"+42", 42u},
      {"-42", static_cast<UINT>(-42)},
      {"  7  ", 7u},
      {"'15'", 15u},
      {"12abc", 12u},
      {"007", 7u},
      {"0x10", 0u},
      {"abc", static_cast<UINT>(-5)},
      {"+", static_cast<UINT>(-5)},
      {"-", static_cast<UINT>(-5)},
      {"- 5", static_cast<UINT>(-5)},
      {"+-5", static_cast<UINT>(-5)},
      {"", static_cast<UINT>(-5)},
      {"2147483648", 2147483648u},
      {"-2147483648", 0x80000000u},
      {"4294967295", 4294967295u},
      {"4294967296", 0u},
      {"4294967297", 1u},
      {"99999999999", 1215752191u},
      {"-4294967297", 4294967295u},
      {"123456789012345678901234567890", 1312754386u},
  };
  for (const Case& c : cases) {
    Write(std::string("[S]\nn=") + c.Value + "\n");
    EXPECT_EQ(GetPrivateProfileIntA("S", "N", -5, Path.c_str()), c.Expected) << c.Value;
  }
  EXPECT_EQ(GetPrivateProfileIntA("S", "missing", 77, Path.c_str()), 77u);
  EXPECT_EQ(GetPrivateProfileIntA(nullptr, "n", 3, Path.c_str()), 3u);
}

void SetModified(const std::string& path, time_t seconds, long nanoseconds) {
  timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(ProfileFile, CacheFollowsTheFileOnDisk) {
  Write("[S]\nk=one\n");
  SetModified(Path, 1000000000, 100);
  EXPECT_EQ(Read("S", "k"), "one");

  // Same inode, size and time: the parsed copy is used, not the file.
  Write("[S]\nk=two\n");
  SetModified(Path, 1000000000, 100);
  EXPECT_EQ(Read("S", "k"), "one");

  // Only the nanoseconds moved.
  SetModified(Path, 1000000000, 101);
  EXPECT_EQ(Read("S", "k"), "two");

  Write("[S]\nk=three\n");
  SetModified(Path, 1000000000, 101);
  EXPECT_EQ(Read("S", "k"), "three");

  // Replaced by rename: a new inode with the old size and time.
  std::string other = Dir + "/other.ini";
  Write("[S]\nk=four!\n", other);
  SetModified(other, 1000000000, 101);
  ASSERT_EQ(std::rename(other.c_str(), Path.c_str()), 0);
  EXPECT_EQ(Read("S", "k"), "four!");

  ASSERT_EQ(unlink(Path.c_str()), 0);
  EXPECT_EQ(Read("S", "k"), "dflt");
  EXPECT_EQ(GetPrivateProfileIntA("S", "k", 4, Path.c_str()), 4u);

  Write("[S]\nk=five!\n");
  SetModified(Path, 1000000000, 101);
  EXPECT_EQ(Read("S", "k"), "five!");
}

}  // namespace
}  // namespace tolvane
