#include "device/linux/code_page.h"

#include <iconv.h>

#include <map>
#include <memory>
#include <string>

#include "os/win32.h"

namespace tolvane {

namespace {

constexpr int32_t FallbackCodePage = 1252;

// Windows numbers whose iconv names are not CP<number>.
struct TCharsetAlias {
  int32_t CodePage;
  const char* Charset;
};

const TCharsetAlias CharsetAliases[] = {
    {28591, "ISO-8859-1"},  {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},  {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {20866, "KOI8-R"},
    {21866, "KOI8-U"},      {10000, "MACINTOSH"},   {65001, "UTF-8"},
};

std::string CharsetName(int32_t codePage) {
  for (const TCharsetAlias& alias : CharsetAliases)
    if (alias.CodePage == codePage) return alias.Charset;
  return "CP" + std::to_string(codePage);
}

// One byte through the converter. Some code pages hold a letter back in
// case a combining mark follows, so the converter is flushed after each
// byte; anything but exactly one character counts as undefined.
bool ConvertByte(iconv_t converter, unsigned char byte, char32_t& character) {
  char input[1] = {static_cast<char>(byte)};
  unsigned char output[16];
  char* in = input;
  size_t inLeft = 1;
  char* out = reinterpret_cast<char*>(output);
  size_t outLeft = sizeof output;
  size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
  bool converted = result != static_cast<size_t>(-1) && inLeft == 0;
  if (converted) iconv(converter, nullptr, nullptr, &out, &outLeft);
  iconv(converter, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  size_t written = sizeof output - outLeft;
  if (!converted || written != 4) return false;
  character = char32_t(output[0]) | char32_t(output[1]) << 8 | char32_t(output[2]) << 16 |
              char32_t(output[3]) << 24;
  return true;
}

// The default code page's bytes 0x80 to 0x9F, where it differs from
// Latin-1 (0: undefined, the byte itself). Built in because opening iconv's
// converters costs a one-page job more than all its text.
const char16_t Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void BuildWindows1252(TCodePageTable& table) {
  for (int byte = 0; byte < 256; ++byte) table.Character[byte] = char32_t(byte);
  for (int i = 0; i < 32; ++i)
    if (Windows1252High[i] != 0) table.Character[0x80 + i] = Windows1252High[i];
}

}  // namespace

bool BuildCodePageWithIconv(int32_t codePage, TCodePageTable& table) {
  table.CodePage = codePage;
  iconv_t converter = iconv_open("UTF-32LE", CharsetName(codePage).c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  for (int byte = 0; byte < 256; ++byte) {
    char32_t character = 0;
    table.Character[byte] =
        ConvertByte(converter, static_cast<unsigned char>(byte), character) ? character
                                                                              : char32_t(byte);
  }
  iconv_close(converter);
  return true;
}

namespace {

bool BuildTable(int32_t codePage, TCodePageTable& table) {
  if (codePage != FallbackCodePage) return BuildCodePageWithIconv(codePage, table);
  table.CodePage = codePage;
  BuildWindows1252(table);
  return true;
}

}  // namespace

const TCodePageTable& CodePageTable(int32_t codePage) {
  // Built on first use and kept for the process: a job asks for one or two.
  static std::map<int32_t, std::unique_ptr<TCodePageTable>> tables;
  auto found = tables.find(codePage);
  if (found != tables.end()) return *found->second;
  auto table = std::make_unique<TCodePageTable>();
  if (!BuildTable(codePage, *table)) {
    Diagnose("code page " + std::to_string(codePage) + " is not known to iconv (as " +
             CharsetName(codePage) + "); the bytes are drawn as code page 1252");
    BuildTable(FallbackCodePage, *table);
    table->CodePage = codePage;
  }
  return *tables.emplace(codePage, std::move(table)).first->second;
}

}  // namespace tolvane
