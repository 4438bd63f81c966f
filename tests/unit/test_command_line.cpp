#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/command_line.h"

using namespace tolvane;

namespace {

// A double-byte code page whose lead bytes are 0x81 to 0x9F.
bool ShiftLead(unsigned char byte) { return byte >= 0x81 && byte <= 0x9F; }

}  // namespace

TEST(SplitCommandLine, FollowsTheHostsQuotingRules) {
  using Words = std::vector<std::string>;
  struct Case {
    const char* raw;
    Words words;
  } cases[] = {
      {"tolvane.exe", {}},
      {"tolvane.exe report.txt 1 5", {"report.txt", "1", "5"}},
      {"  tolvane.exe\treport.txt\x01\x02" "3  ", {"report.txt", "3"}},
      {"\"C:\\Program Files\\t.exe\" \"my report.txt\" 2", {"my report.txt", "2"}},
      {"t.exe a\"b c\"d e", {"ab cd", "e"}},
      {"t.exe \"\" report.txt 1", {"report.txt", "1"}},
      {"t.exe \"\"report.txt 1", {"report.txt", "1"}},
      {"t.exe report.txt \"", {"report.txt"}},
      {"t.exe report.txt \" 7", {"report.txt", " 7"}},
      {"t.exe \"unterminated stretch", {"unterminated stretch"}},
      {"t.exe a\"\"b", {"ab"}},
      {"", {}},
      {"\"\"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.raw, nullptr), c.words) << c.raw;
}

TEST(SplitCommandLine, StepsOverDoubleByteCharactersWhole) {
  // 0x81 0x22 is one character whose second byte looks like a quote, and
  // 0x81 0x20 one whose second byte looks like a blank.
  std::string raw = "t.exe a\x81\"b c\x81 d";
  std::vector<std::string> expected = {"a\x81\"b", "c\x81 d"};
  EXPECT_EQ(SplitCommandLine(raw.c_str(), ShiftLead), expected);
  // Read byte by byte, the same line splits elsewhere.
  EXPECT_NE(SplitCommandLine(raw.c_str(), nullptr), expected);
  // A lead byte at the very end is taken alone.
  std::vector<std::string> last = {"x\x81"};
  EXPECT_EQ(SplitCommandLine("t.exe x\x81", ShiftLead), last);
}
