// The printer's code page decides which character a drawn byte is.
#include <gtest/gtest.h>

#include "device/linux/code_page.h"

namespace tolvane {
namespace {

TEST(CodePage, BytesBecomeTheCharactersOfTheirCodePage) {
  struct Case {
    int32_t codePage;
    uint8_t byte;
    char32_t character;
  } cases[] = {
      {1252, 'A', U'A'},      {1252, 0xE9, U'\u00E9'}, {1252, 0x80, U'\u20AC'},
      {1252, 0x8A, U'\u0160'}, {1250, 0xF5, U'\u0151'}, {1250, 0xFB, U'\u0171'},
      {1250, 0x8A, U'\u0160'}, {1251, 0xC0, U'\u0410'}, {1257, 0xE0, U'\u0105'},
      {437, 0x82, U'\u00E9'},  {437, 0xDB, U'\u2588'}, {850, 0x90, U'\u00C9'},
      {852, 0x8B, U'\u0151'},  {28592, 0xF5, U'\u0151'}, {20866, 0xC1, U'\u0430'},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code page " << c.codePage << ", byte " << int(c.byte));
    EXPECT_EQ(CodePageTable(c.codePage).Character[c.byte], c.character);
  }
}

// Windows leaves five bytes of 1252 undefined and maps them to the code
// points of the same value; a DBCS lead byte alone is no character either.
TEST(CodePage, UndefinedBytesKeepTheirOwnValue) {
  for (uint8_t byte : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
    EXPECT_EQ(CodePageTable(1252).Character[byte], char32_t(byte)) << int(byte);
  EXPECT_EQ(CodePageTable(932).Character[0x81], char32_t(0x81));
}

TEST(CodePage, UnknownCodePageDrawsAs1252) {
  const TCodePageTable& unknown = CodePageTable(4711);
  EXPECT_EQ(unknown.CodePage, 4711);
  for (int byte = 0; byte < 256; ++byte)
    EXPECT_EQ(unknown.Character[byte], CodePageTable(1252).Character[byte]) << byte;
}

// The default code page is built in rather than asked of iconv; it must be
// what iconv gives.
TEST(CodePage1252, BuiltInTableIsIconvs) {
  TCodePageTable converted{};
  ASSERT_TRUE(BuildCodePageWithIconv(1252, converted));
  const TCodePageTable& builtIn = CodePageTable(1252);
  for (int byte = 0; byte < 256; ++byte)
    EXPECT_EQ(builtIn.Character[byte], converted.Character[byte]) << byte;
  EXPECT_EQ(builtIn.CodePage, converted.CodePage);
}

}  // namespace
}  // namespace tolvane
