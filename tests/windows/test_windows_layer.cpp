// The Windows layer against the real system calls: profiles and the system
// printer profile, the decimal separator of the thread's locale, the
// program's own path, the raw command line, shared reading, and the
// system's printers behind CreateDCA.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cfloat>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device/device.h"
#include "os/win32.h"
#include "os/windows/font_data.h"
#include "os/windows/pending_file.h"
#include "os/windows/windows_api.h"

namespace fs = std::filesystem;

namespace tolvane {
namespace {

// A scratch directory of its own for each test.
class WindowsLayer : public ::testing::Test {
 protected:
  void SetUp() override {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    Dir = fs::temp_directory_path() / (std::string("tolvane-") + test->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!HasFailure()) fs::remove_all(Dir, ignored);
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    std::string path = (Dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  fs::path Dir;
};

std::string Read(LPCSTR section, LPCSTR key, LPCSTR fallback, const std::string& file,
                 DWORD size = 111) {
  std::vector<char> buffer(size + 1, '#');
  GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file.c_str());
  return buffer.data();
}

TEST_F(WindowsLayer, PrivateProfileReadsAsTheJobExpects) {
  // The configuration path is built with backslashes.
  std::string file = Write("tolvane.ini",
                           "[Preferences]\r\n"
                           "Font = Courier New \r\n"
                           "leftmargin=12 ; mm\r\n"
                           "uppermargin=-3\r\n"
                           "printer=\"Quoted Name\"\r\n"
                           "; printer=commented\r\n"
                           "[conversion]\r\n"
                           "130=233\r\n"
                           "65=\r\n"
                           "[sequences]\r\n"
                           "a=FSIZ:36,24\r\n");
  std::replace(file.begin(), file.end(), '/', '\\');
  EXPECT_EQ(Read("preferences", "font", "", file), "Courier New");
  EXPECT_EQ(Read("PREFERENCES", "Printer", "", file), "Quoted Name");
  EXPECT_EQ(Read("conversion", "130", "", file), "233");
  EXPECT_EQ(Read("conversion", "65", "", file), "");
  EXPECT_EQ(Read("conversion", "065", "none", file), "none");
  EXPECT_EQ(Read("sequences", "A", "", file), "FSIZ:36,24");
  EXPECT_EQ(Read("sequences", "b", "", file), "");
  EXPECT_EQ(Read("preferences", "font", "", file, 5), "Cour");  // cut to the size less one
  EXPECT_EQ(Read("preferences", "font", "", (Dir / "missing.ini").string()), "");
  EXPECT_EQ(Read("windows", "device", ",,,", (Dir / "missing.ini").string()), ",,,");
  EXPECT_EQ(GetPrivateProfileIntA("preferences", "leftmargin", 0, file.c_str()), 12u);
  EXPECT_EQ(static_cast<INT>(GetPrivateProfileIntA("preferences", "uppermargin", 0, file.c_str())),
            -3);
  EXPECT_EQ(GetPrivateProfileIntA("preferences", "missing", 7, file.c_str()), 7u);
  EXPECT_EQ(GetPrivateProfileIntA("preferences", "leftmargin", 7, "C:\\no\\such.ini"), 7u);
}

// The printer entries live in the registry, the geometry of the TRACE
// printer in win.ini itself; both are set through the system's own calls
// and removed again.
class SystemProfile : public WindowsLayer {
 protected:
  void TearDown() override {
    ::WriteProfileStringA("Devices", "TolvaneTestTrace", nullptr);
    ::WriteProfileStringA("TolvaneTestTrace", nullptr, nullptr);
    ResetDeviceLayer();
    WindowsLayer::TearDown();
  }
};

TEST_F(SystemProfile, PrinterEntriesAndTraceGeometryComeFromTheSystemProfile) {
  ASSERT_TRUE(::WriteProfileStringA("Devices", "TolvaneTestTrace", "TRACE,job.trace"));
  ASSERT_TRUE(::WriteProfileStringA("TolvaneTestTrace", "paper", "Letter"));
  ASSERT_TRUE(::WriteProfileStringA("TolvaneTestTrace", "horzres", "2400"));
  char buffer[111];
  GetProfileStringA("devices", "tolvanetesttrace", ",,,", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "TRACE,job.trace");
  GetProfileStringA("Devices", "TolvaneNoSuchPrinter", ",,,", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, ",,,");
  GetProfileStringA("Devices", "TolvaneTestTrace", ",,,", buffer, 6);
  EXPECT_STREQ(buffer, "TRACE");

  std::string port = (Dir / "job.trace").string();
  HDC dc = CreateDCA("TRACE", "TolvaneTestTrace", port.c_str(), nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 215);  // Letter
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 2400);  // overridden
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 6600);
  EXPECT_TRUE(DeleteDC(dc));
}

// One locale of the thread after the other; the separator is read once,
// when the platform starts.
TEST_F(WindowsLayer, DecimalSeparatorOfTheThreadLocale) {
  const ::LCID saved = ::GetThreadLocale();
  struct Case {
    ::LANGID Language;
    char Separator;
  } cases[] = {
      {MAKELANGID(LANG_HUNGARIAN, SUBLANG_DEFAULT), ','},
      {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), '.'},
      {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), ','},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(::SetThreadLocale(MAKELCID(c.Language, SORT_DEFAULT)));
    InitializePlatform();
    ::SetThreadLocale(saved);
    EXPECT_EQ(GetUserDecimalSeparator(), c.Separator) << c.Language;
  }
  InitializePlatform();
}

// The user's own separator, when it is not one character, stands back for
// the full stop.
TEST_F(WindowsLayer, DecimalSeparatorOfOtherThanOneCharacterIsAFullStop) {
  char original[16] = {};
  ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, original, sizeof original), 0);
  const ::LCID saved = ::GetThreadLocale();
  ::SetThreadLocale(::GetUserDefaultLCID());
  struct Case {
    const char* Setting;
    char Separator;
  } cases[] = {{";", ';'}, {"::", '.'}, {"'.'", '.'}};
  for (const Case& c : cases) {
    if (!::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, c.Setting)) continue;
    char now[16] = {};
    ::GetLocaleInfoA(::GetThreadLocale(), LOCALE_SDECIMAL, now, sizeof now);
    if (std::strcmp(now, c.Setting) != 0) continue;  // this system keeps the locale's own
    InitializePlatform();
    EXPECT_EQ(GetUserDecimalSeparator(), c.Separator) << c.Setting;
  }
  ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, original);
  ::SetThreadLocale(saved);
  InitializePlatform();
}

TEST_F(WindowsLayer, ProgramPathIsTheModuleFile) {
  char module[32768];
  ::DWORD length = ::GetModuleFileNameA(nullptr, module, sizeof module);
  ASSERT_GT(length, 0u);
  std::string path = GetProgramPath();
  EXPECT_EQ(path, std::string(module, length));
  EXPECT_EQ(PathSeparator(), '\\');
  ASSERT_NE(path.rfind('\\'), std::string::npos);
  EXPECT_EQ(path.substr(path.rfind('\\') + 1), "tolvane_windows_tests.exe");
}

// Lengths are computed in extended precision: the x87 unit must keep its
// 64-bit mantissa (mingw-w64's start-up leaves it so; the C runtime of
// Microsoft's compiler would cut it to 53 bits).
TEST(ExtendedPrecision, IsInForce) {
  unsigned short control = 0;
  __asm__ volatile("fnstcw %0" : "=m"(control));
  EXPECT_EQ(control & 0x300, 0x300) << "x87 precision control";
  EXPECT_EQ(LDBL_MANT_DIG, 64);
  volatile long double one = 1.0L, step = 0x1p-63L;
  EXPECT_NE(one + step, one);
}

// The child mode of this program: prints the arguments it was given, one a
// line in brackets, so that the parent can check how its raw command line
// was split.
const char ArgumentsMode[] = "TOLVANE_PRINT_ARGUMENTS";

std::string RunSelf(const std::string& tail) {
  std::string program = GetProgramPath();
  std::string line = "\"" + program + "\"" + tail;
  ::SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  ::HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "no pipe";
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  ::STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  ::PROCESS_INFORMATION process{};
  ::SetEnvironmentVariableA(ArgumentsMode, "1");
  BOOL started = ::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                                  nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableA(ArgumentsMode, nullptr);
  ::CloseHandle(writeEnd);
  std::string output;
  if (started) {
    char chunk[4096];
    ::DWORD got = 0;
    while (::ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
      output.append(chunk, got);
    ::WaitForSingleObject(process.hProcess, 60000);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
  } else {
    output = "not started";
  }
  ::CloseHandle(readEnd);
  return output;
}

TEST_F(WindowsLayer, ArgumentsAreSplitFromTheRawCommandLine) {
  struct Case {
    const char* Tail;  // what follows the quoted program name
    const char* Arguments;
  } cases[] = {
      {" report.txt 1 5", "[report.txt][1][5]"},
      {" \"my report.txt\"\t2", "[my report.txt][2]"},
      {" \"\" report.txt \"\" 3", "[report.txt][3]"},
      {" a\"b c\"d \"e", "[ab cd][e]"},
      {" C:\\dir\\ \\\"x", "[C:\\dir\\][\\x]"},
      {" one \"", "[one]"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RunSelf(c.Tail), c.Arguments) << c.Tail;
}

TEST_F(WindowsLayer, PrintFilesAreReadAsBytesAndKeptFromWriters) {
  const std::string bytes = "line\r\n\x1a after\n\r\x00end";
  std::string name = Write("report.txt", std::string(bytes.data(), bytes.size() + 4));
  std::FILE* file = OpenForSharedRead(name.c_str());
  ASSERT_NE(file, nullptr);
  // Nobody may write the file while it is read; reading it is fine.
  EXPECT_EQ(std::fopen(name.c_str(), "r+b"), nullptr);
  std::FILE* other = std::fopen(name.c_str(), "rb");
  EXPECT_NE(other, nullptr);
  if (other) std::fclose(other);
  char read[64];
  size_t got = std::fread(read, 1, sizeof read, file);
  EXPECT_EQ(std::string(read, got), std::string(bytes.data(), bytes.size() + 4));
  std::fclose(file);
  // Writable again once closed.
  std::FILE* writer = std::fopen(name.c_str(), "r+b");
  EXPECT_NE(writer, nullptr);
  if (writer) std::fclose(writer);
  EXPECT_EQ(OpenForSharedRead(Dir.string().c_str()), nullptr);
  EXPECT_EQ(OpenForSharedRead((Dir / "missing.txt").string().c_str()), nullptr);
  EXPECT_EQ(OpenForSharedRead(""), nullptr);
}

// Any name but TRACE goes to the system; the display stands in for a
// printer, which a test machine need not have.
class SystemDevice : public WindowsLayer {
 protected:
  void TearDown() override {
    ResetDeviceLayer();
    WindowsLayer::TearDown();
  }
};

TEST_F(SystemDevice, ContextGeometryIsWhatTheSystemReports) {
  HDC dc = CreateDCA("DISPLAY", "", "", nullptr);
  ASSERT_NE(dc, nullptr);
  ::HDC real = ::CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(real, nullptr);
  for (int index : {HORZSIZE, VERTSIZE, HORZRES, VERTRES, LOGPIXELSX, LOGPIXELSY})
    EXPECT_EQ(GetDeviceCaps(dc, index), ::GetDeviceCaps(real, index)) << index;
  ::DeleteDC(real);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(CreateDCA("NoSuchDriver", "NoSuchPrinter", "", nullptr), nullptr);
  EXPECT_EQ(CreateDCA("", "", "", nullptr), nullptr);
  EXPECT_TRUE(LiveContexts().empty());
}

// A 2 x 2 bitmap of 24 bits in a movable block, as the logo command holds it.
HGLOBAL MakeBitmapBlock(size_t blockSize, LONG height) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, blockSize);
  auto* data = static_cast<uint8_t*>(GlobalLock(block));
  std::memset(data, 0x80, blockSize);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = 2;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  std::memcpy(data, &header, sizeof header);
  return block;
}

TEST_F(SystemDevice, DrawingReachesTheDeviceAndBitmapsStayInsideTheirBlock) {
  HDC dc = CreateDCA("DISPLAY", "", "", nullptr);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  LOGFONTA description{};
  description.lfHeight = 43;
  description.lfWidth = 28;
  std::strcpy(description.lfFaceName, "Courier New");
  for (int round = 0; round < 3; ++round) {  // fonts made, selected, dropped again
    HFONT font = CreateFontIndirectA(&description);
    HGDIOBJ stock = SelectObject(dc, font);
    EXPECT_TRUE(TextOutA(dc, 110, 50, "A", 1));
    EXPECT_TRUE(DeleteObject(font));  // still selected: goes when deselected
    EXPECT_EQ(SelectObject(dc, stock), font);
  }
  // Rows of 8 bytes (6 padded to 4): 16 bytes of pixels after the header.
  HGLOBAL whole = MakeBitmapBlock(40 + 16, 2);
  const auto* info = static_cast<const BITMAPINFO*>(GlobalLock(whole));
  const auto* bits = reinterpret_cast<const uint8_t*>(info) + 40;
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 20, 20, 0, 0, 2, 2, bits, info, DIB_RGB_COLORS, SRCCOPY), 2);
  // A header that claims more rows than the block holds is never handed on.
  HGLOBAL cut = MakeBitmapBlock(40 + 16, 3);
  const auto* cutInfo = static_cast<const BITMAPINFO*>(GlobalLock(cut));
  const auto* cutBits = reinterpret_cast<const uint8_t*>(cutInfo) + 40;
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 20, 20, 0, 0, 2, 3, cutBits, cutInfo, DIB_RGB_COLORS, SRCCOPY),
            0);
  BITMAPINFO local{};  // in no memory block: its size is unknown
  local.bmiHeader = info->bmiHeader;
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 20, 20, 0, 0, 2, 2, bits, &local, DIB_RGB_COLORS, SRCCOPY), 0);
  for (HGLOBAL block : {whole, cut}) {
    while (GlobalUnlock(block)) {
    }
    GlobalFree(block);
  }
  EXPECT_TRUE(DeleteDC(dc));
}

// The child mode that starts a document at the file named by the variable
// and waits to be killed.
const char PendingMode[] = "TOLVANE_HOLD_PENDING";

size_t FilesIn(const fs::path& directory) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
}

// A document appears at its name whole or not at all: committed it
// replaces an older file, discarded or killed it leaves nothing, not even
// its hidden file.
TEST_F(WindowsLayer, DocumentsAppearWholeOrNotAtAll) {
  std::string target = Write("report.pdf", "older");
  TPendingFile file;
  std::string why;
  ASSERT_TRUE(OpenPendingFile(file, target, why)) << why;
  ASSERT_TRUE(WritePendingFile(file, "new ", 4));
  EXPECT_EQ(FilesIn(Dir), 2u);
  DiscardPendingFile(file);
  EXPECT_EQ(FilesIn(Dir), 1u);
  ASSERT_TRUE(OpenPendingFile(file, target, why)) << why;
  ASSERT_TRUE(WritePendingFile(file, "new document", 12));
  ASSERT_TRUE(CommitPendingFile(file, why)) << why;
  std::ifstream committed(target, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(committed), {}), "new document");
  EXPECT_EQ(::GetFileAttributesA(target.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(FilesIn(Dir), 1u);
  EXPECT_FALSE(OpenPendingFile(file, Dir.string(), why));
  EXPECT_FALSE(OpenPendingFile(file, (Dir / "missing" / "x.pdf").string(), why));

  // A job killed in the middle of its document.
  std::string program = GetProgramPath();
  std::string line = "\"" + program + "\"";
  ::SetEnvironmentVariableA(PendingMode, (Dir / "killed.pdf").string().c_str());
  ::STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  ::PROCESS_INFORMATION process{};
  BOOL started = ::CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &process);
  ::SetEnvironmentVariableA(PendingMode, nullptr);
  ASSERT_TRUE(started);
  for (int i = 0; i < 500 && FilesIn(Dir) < 2; i++) ::Sleep(10);
  EXPECT_EQ(FilesIn(Dir), 2u);
  ::TerminateProcess(process.hProcess, 9);
  ::WaitForSingleObject(process.hProcess, 10000);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(process.hThread);
  // Wine's server closes a killed process's files in its own time, slower
  // on a busy machine.
  for (int i = 0; i < 2000 && FilesIn(Dir) > 1; i++) ::Sleep(10);
  EXPECT_EQ(FilesIn(Dir), 1u);
  EXPECT_FALSE(fs::exists(Dir / "killed.pdf"));
}

// What the document writers will take from Windows: the font file that the
// font mapper chooses, and the characters of a code page.
TEST(DocumentFacts, FontFileOfTheMappedFaceAndCodePageCharacters) {
  LOGFONTA font{};
  font.lfHeight = -40;
  std::strcpy(font.lfFaceName, "Courier New");
  TMappedFont mapped;
  std::string why;
  ASSERT_TRUE(ReadMappedFontFile(font, mapped, why)) << why;
  EXPECT_FALSE(mapped.Face.empty());
  ASSERT_GE(mapped.File.size(), 12u);
  std::string tag = mapped.File.substr(0, 4);
  EXPECT_TRUE(tag == std::string("\0\1\0\0", 4) || tag == "true" || tag == "OTTO" || tag == "ttcf");
  EXPECT_GE(mapped.Index, 0);

  struct Case {
    int32_t codePage;
    unsigned char byte;
    char32_t character;
  } cases[] = {
      {1252, 0x80, 0x20AC}, {1252, 0x81, 0x81},  {1252, 'A', 'A'},    {1250, 0x8A, 0x160},
      {1250, 0xF5, 0x151},  {1251, 0xC0, 0x410}, {437, 0xB0, 0x2591}, {850, 0x82, 0xE9},
  };
  for (const Case& c : cases) {
    char32_t characters[256];
    ASSERT_TRUE(CodePageCharacters(c.codePage, characters)) << c.codePage;
    EXPECT_EQ(characters[c.byte], c.character) << c.codePage << " byte " << int(c.byte);
  }
  char32_t characters[256];
  EXPECT_FALSE(CodePageCharacters(99999, characters));
  EXPECT_FALSE(CodePageCharacters(65001, characters));  // UTF-8 is no single-byte code page
}

}  // namespace
}  // namespace tolvane

// The child mode prints its arguments instead of running the tests.
int main(int argc, char** argv) {
  if (const char* target = std::getenv(tolvane::PendingMode)) {
    tolvane::TPendingFile file;
    std::string why;
    if (!tolvane::OpenPendingFile(file, target, why)) return 2;
    tolvane::WritePendingFile(file, "half", 4);
    ::Sleep(60000);
    return 1;
  }
  if (std::getenv(tolvane::ArgumentsMode) != nullptr) {
    for (const std::string& argument : tolvane::GetArguments(argc, argv))
      std::printf("[%s]", argument.c_str());
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
