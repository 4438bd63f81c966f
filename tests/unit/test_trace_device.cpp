// The device calls against the recording device: whole traces compared line
// by line, and every handle or argument the job could get wrong.
#include <stdlib.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "device/device.h"

namespace tolvane {
namespace {

const char* const SystemProfile =
    "[Devices]\nTrace=TRACE,job.trace\n"
    "[Trace]\nhorzsize=203\nhorzres=2400\nvertsize=287\nvertres=3390\n"
    "[Offset]\npaper=Letter\nresolution=300x600\nmargins=10,20,0,0\n";

class TraceDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = getenv("TOLVANE_SYSTEM_PROFILE");
    if (saved) Saved = saved;
    char pattern[] = "/tmp/tolvane_trace_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
    Port = Dir + "/job.trace";
    std::ofstream(Dir + "/system.ini", std::ios::binary) << SystemProfile;
    setenv("TOLVANE_SYSTEM_PROFILE", (Dir + "/system.ini").c_str(), 1);
    // Every test starts numbering at DC1 and F1, as a fresh program would.
    ResetDeviceLayer();
  }
  void TearDown() override {
    ResetDeviceLayer();
    if (Saved)
      setenv("TOLVANE_SYSTEM_PROFILE", Saved->c_str(), 1);
    else
      unsetenv("TOLVANE_SYSTEM_PROFILE");
    std::filesystem::remove_all(Dir);
  }

  HDC Open(const char* device = "Trace", const std::string& port = "") {
    return CreateDCA("TRACE", device, (port.empty() ? Port : port).c_str(), nullptr);
  }

  std::string Trace(const std::string& port = "") const {
    std::ifstream file(port.empty() ? Port : port, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  // The first line that every trace of the default port starts with.
  std::string Created(int number = 1, const char* device = "Trace") const {
    return "CreateDCA \"TRACE\" \"" + std::string(device) + "\" \"" + Port + "\" -> DC" +
           std::to_string(number) + "\n";
  }

  std::optional<std::string> Saved;
  std::string Dir;
  std::string Port;
};

LOGFONTA CourierNew() {
  LOGFONTA font{};
  font.lfHeight = 43;
  font.lfWidth = 28;
  std::strcpy(font.lfFaceName, "Courier New");
  return font;
}

DOCINFOA Document(const char* name) { return DOCINFOA{sizeof(DOCINFOA), name, nullptr, nullptr, 0}; }

const char* const CourierLine =
    "CreateFontIndirectA height=43 width=28 escapement=0 orientation=0 weight=0 italic=0 "
    "underline=0 strikeout=0 charset=0 outprecision=0 clipprecision=0 quality=0 "
    "pitchandfamily=0 face=\"Courier New\"";

TEST_F(TraceDevice, ReproducesTheOneLineJob) {
  HDC dc = Open();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 203);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 2400);
  EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 287);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 3390);
  DOCINFOA doc = Document("Tolvane_drv");
  EXPECT_GT(StartDocA(dc, &doc), 0);
  LOGFONTA logFont = CourierNew();
  HFONT first = CreateFontIndirectA(&logFont);
  HGDIOBJ stock = SelectObject(dc, first);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_GT(StartPage(dc), 0);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), TRANSPARENT);
  EXPECT_EQ(SelectObject(dc, stock), first);
  EXPECT_TRUE(DeleteObject(first));
  HFONT second = CreateFontIndirectA(&logFont);
  EXPECT_EQ(SelectObject(dc, second), stock);
  EXPECT_TRUE(TextOutA(dc, 110, 50, "A", 1));
  EXPECT_GT(EndPage(dc), 0);
  EXPECT_EQ(SelectObject(dc, stock), second);
  EXPECT_TRUE(DeleteObject(second));
  EXPECT_GT(EndDoc(dc), 0);
  EXPECT_TRUE(DeleteDC(dc));

  std::string expected = Created() +
                         "GetDeviceCaps HORZSIZE -> 203\n"
                         "GetDeviceCaps HORZRES -> 2400\n"
                         "GetDeviceCaps VERTSIZE -> 287\n"
                         "GetDeviceCaps VERTRES -> 3390\n"
                         "StartDocA \"Tolvane_drv\"\n" +
                         CourierLine + " -> F1\n"
                         "SelectObject F1 -> F0\n"
                         "SetBkMode 1\n"
                         "StartPage\n"
                         "SetBkMode 1\n"
                         "SelectObject F0 -> F1\n"
                         "DeleteObject F1\n" +
                         CourierLine + " -> F2\n"
                         "SelectObject F2 -> F0\n"
                         "TextOutA 110 50 \"A\"\n"
                         "EndPage\n"
                         "SelectObject F0 -> F2\n"
                         "DeleteObject F2\n"
                         "EndDoc\n"
                         "DeleteDC\n";
  EXPECT_EQ(Trace(), expected);
}

TEST_F(TraceDevice, EscapesEveryByteOutsidePrintableAscii) {
  struct TCase {
    const char* Text;
    int Count;
    const char* Shown;
  };
  const TCase cases[] = {
      {"plain text ~!", 13, "\"plain text ~!\""},
      {"say \"hi\"", 8, "\"say \\x22hi\\x22\""},
      {"C:\\dir", 6, "\"C:\\x5cdir\""},
      {"\t\r\n\x1b", 4, "\"\\x09\\x0d\\x0a\\x1b\""},
      {"\x7f\x80\xe9\xff", 4, "\"\\x7f\\x80\\xe9\\xff\""},
      {"a\0b", 3, "\"a\\x00b\""},
      {"cut here", 3, "\"cut\""},
      {"", 0, "\"\""},
      {nullptr, 0, "\"\""},
  };
  HDC dc = Open("Tr\"a\\ce\xe9");
  ASSERT_NE(dc, nullptr);
  DOCINFOA doc = Document("doc\x01");
  StartDocA(dc, &doc);
  std::string expected = "CreateDCA \"TRACE\" \"Tr\\x22a\\x5cce\\xe9\" \"" + Port +
                         "\" -> DC1\nStartDocA \"doc\\x01\"\n";
  for (const TCase& c : cases) {
    EXPECT_TRUE(TextOutA(dc, -3, 7, c.Text, c.Count)) << c.Shown;
    expected += std::string("TextOutA -3 7 ") + c.Shown + "\n";
  }
  LOGFONTA font{};
  font.lfHeight = -12;
  font.lfWeight = FW_BOLD;
  font.lfItalic = 255;
  font.lfEscapement = 900;
  // A face that fills all 32 bytes is cut to 31 so that it ends in the array.
  std::memset(font.lfFaceName, 'x', LF_FACESIZE);
  font.lfFaceName[0] = '"';
  DeleteObject(CreateFontIndirectA(&font));
  expected += "CreateFontIndirectA height=-12 width=0 escapement=900 orientation=0 weight=700 "
              "italic=255 underline=0 strikeout=0 charset=0 outprecision=0 clipprecision=0 "
              "quality=0 pitchandfamily=0 face=\"\\x22" + std::string(30, 'x') + "\" -> F1\n"
              "DeleteObject F1\n";
  DeleteDC(dc);
  EXPECT_EQ(Trace(), expected + "DeleteDC\n");
}

TEST_F(TraceDevice, FontsAreNumberedOverTheWholeProcess) {
  LOGFONTA logFont = CourierNew();
  HFONT early = CreateFontIndirectA(&logFont);  // before any context: F1
  HDC first = Open();
  HDC second = Open("Trace", Dir + "/second.trace");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);  // fails, takes no number
  HFONT f2 = CreateFontIndirectA(&logFont);
  EXPECT_EQ(SelectObject(first, early), StockFont());
  EXPECT_EQ(SelectObject(second, f2), StockFont());
  EXPECT_EQ(FontHandleName(early), "F1");
  EXPECT_EQ(FontHandleName(f2), "F2");
  EXPECT_EQ(FontHandleName(StockFont()), "F0");
  EXPECT_EQ(FontHandleName(nullptr), "0");
  DeleteDC(first);
  HFONT f3 = CreateFontIndirectA(&logFont);  // heard by the second context alone
  EXPECT_EQ(FontHandleName(f3), "F3");
  DeleteDC(second);
  std::string shared = "CreateFontIndirectA -> 0\n" + std::string(CourierLine) + " -> F2\n";
  EXPECT_EQ(Trace(), Created(1) + shared + "SelectObject F1 -> F0\nDeleteDC\n");
  EXPECT_EQ(Trace(Dir + "/second.trace"),
            "CreateDCA \"TRACE\" \"Trace\" \"" + Dir + "/second.trace\" -> DC2\n" + shared +
                "SelectObject F2 -> F0\n" + CourierLine + " -> F3\nDeleteDC\n");
  for (HFONT font : {early, f2, f3}) EXPECT_TRUE(DeleteObject(font));
}

TEST_F(TraceDevice, FontDeletedWhileSelectedLivesUntilDeselected) {
  LOGFONTA logFont = CourierNew();
  HDC dc = Open();
  HDC other = Open("Trace", Dir + "/other.trace");
  HFONT font = CreateFontIndirectA(&logFont);
  EXPECT_EQ(SelectObject(dc, font), StockFont());
  EXPECT_EQ(SelectObject(dc, font), font);  // reselecting must not free it
  EXPECT_EQ(SelectObject(other, font), StockFont());
  EXPECT_TRUE(DeleteObject(font));
  // The handle is dead for the job at once, though the contexts still hold it.
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_EQ(SelectObject(dc, font), nullptr);
  EXPECT_TRUE(TextOutA(dc, 0, 0, "x", 1));
  EXPECT_EQ(SelectObject(dc, StockFont()), font);  // one holder left
  EXPECT_TRUE(DeleteDC(other));                    // the last one: freed here
  EXPECT_FALSE(DeleteObject(font));
  // Deleted while selected in one context only: deselecting frees it.
  HFONT alone = CreateFontIndirectA(&logFont);
  SelectObject(dc, alone);
  EXPECT_TRUE(DeleteObject(alone));
  EXPECT_EQ(SelectObject(dc, StockFont()), alone);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(Trace(), Created(1) + CourierLine +
                         " -> F1\n"
                         "SelectObject F1 -> F0\n"
                         "SelectObject F1 -> F1\n"
                         "DeleteObject F1\n"
                         "DeleteObject 0\n"
                         "SelectObject 0 -> 0\n"
                         "TextOutA 0 0 \"x\"\n"
                         "SelectObject F0 -> F1\n"
                         "DeleteObject 0\n" +
                         CourierLine +
                         " -> F2\n"
                         "SelectObject F2 -> F0\n"
                         "DeleteObject F2\n"
                         "SelectObject F0 -> F2\n"
                         "DeleteDC\n");
}

TEST_F(TraceDevice, InvalidAndStaleHandlesAreRefusedUntouched) {
  HDC dc = Open();
  ASSERT_NE(dc, nullptr);
  ASSERT_TRUE(DeleteDC(dc));
  // One byte: a dereference as a context or a font would trip the sanitizer.
  static char bogus[1];
  HDC made = reinterpret_cast<HDC>(bogus);
  DOCINFOA doc = Document("x");
  BITMAPINFO info{};
  for (HDC bad : {dc, made, static_cast<HDC>(nullptr)}) {
    EXPECT_EQ(GetDeviceCaps(bad, HORZRES), 0);
    EXPECT_LE(StartDocA(bad, &doc), 0);
    EXPECT_LE(StartPage(bad), 0);
    EXPECT_LE(EndPage(bad), 0);
    EXPECT_LE(EndDoc(bad), 0);
    EXPECT_LE(AbortDoc(bad), 0);
    EXPECT_EQ(SetBkMode(bad, TRANSPARENT), 0);
    EXPECT_EQ(SelectObject(bad, StockFont()), nullptr);
    EXPECT_FALSE(TextOutA(bad, 0, 0, "x", 1));
    EXPECT_EQ(StretchDIBits(bad, 0, 0, 1, 1, 0, 0, 1, 1, &info, &info, 0, SRCCOPY), 0);
    EXPECT_FALSE(DeleteDC(bad));
  }
  EXPECT_EQ(Trace(), Created() + "DeleteDC\n");

  // Objects that are no font: refused, the selection kept, the trace told.
  dc = Open("Trace", Dir + "/objects.trace");
  LOGFONTA logFont = CourierNew();
  HFONT font = CreateFontIndirectA(&logFont);
  SelectObject(dc, font);
  HGDIOBJ madeFont = reinterpret_cast<HGDIOBJ>(bogus);
  EXPECT_EQ(SelectObject(dc, madeFont), nullptr);
  EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
  EXPECT_FALSE(DeleteObject(madeFont));
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_TRUE(DeleteObject(StockFont()));  // the stock font stays
  EXPECT_EQ(SelectObject(dc, StockFont()), font);
  EXPECT_EQ(SelectObject(dc, StockFont()), StockFont());
  EXPECT_TRUE(DeleteObject(font));
  DeleteDC(dc);
  EXPECT_EQ(Trace(Dir + "/objects.trace"),
            "CreateDCA \"TRACE\" \"Trace\" \"" + Dir + "/objects.trace\" -> DC2\n" +
                CourierLine +
                " -> F1\n"
                "SelectObject F1 -> F0\n"
                "SelectObject 0 -> 0\n"
                "SelectObject 0 -> 0\n"
                "DeleteObject 0\n"
                "DeleteObject 0\n"
                "DeleteObject F0\n"
                "SelectObject F0 -> F1\n"
                "SelectObject F0 -> F0\n"
                "DeleteObject F1\n"
                "DeleteDC\n");
}

TEST_F(TraceDevice, BadArgumentsAndCallsOutOfOrder) {
  HDC dc = Open();
  ASSERT_NE(dc, nullptr);
  // Arguments that cannot be passed on never reach the trace.
  EXPECT_FALSE(TextOutA(dc, 1, 2, "abc", -1));
  EXPECT_FALSE(TextOutA(dc, 1, 2, nullptr, 1));
  EXPECT_LE(StartDocA(dc, nullptr), 0);
  // Calls out of order fail as on Windows, but the trace shows them.
  DOCINFOA doc = Document(nullptr);
  EXPECT_LE(StartPage(dc), 0);
  EXPECT_LE(EndPage(dc), 0);
  EXPECT_LE(EndDoc(dc), 0);
  EXPECT_LE(AbortDoc(dc), 0);
  EXPECT_GT(StartDocA(dc, &doc), 0);
  EXPECT_LE(StartDocA(dc, &doc), 0);
  EXPECT_LE(EndPage(dc), 0);
  EXPECT_GT(StartPage(dc), 0);
  EXPECT_LE(StartPage(dc), 0);
  EXPECT_EQ(SetBkMode(dc, 7), 0);  // no such mode: the old one stays
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc, OPAQUE), TRANSPARENT);
  EXPECT_GT(AbortDoc(dc), 0);  // ends the page too
  EXPECT_LE(EndPage(dc), 0);
  EXPECT_LE(AbortDoc(dc), 0);
  EXPECT_GT(StartDocA(dc, &doc), 0);  // a new document after the abort
  EXPECT_GT(AbortDoc(dc), 0);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(Trace(), Created() +
                         "StartPage\nEndPage\nEndDoc\nAbortDoc\n"
                         "StartDocA \"\"\nStartDocA \"\"\nEndPage\nStartPage\nStartPage\n"
                         "SetBkMode 7\nSetBkMode 1\nSetBkMode 2\n"
                         "AbortDoc\nEndPage\nAbortDoc\nStartDocA \"\"\nAbortDoc\nDeleteDC\n");
}

TEST_F(TraceDevice, DeviceCapsFromTheGeometry) {
  struct TCase {
    int Index;
    int Result;
    const char* Name;
  };
  // Letter at 300 x 600 dpi, margins 10 mm left and 20 mm top.
  const TCase cases[] = {
      {HORZSIZE, 205, "HORZSIZE"},           {VERTSIZE, 259, "VERTSIZE"},
      {HORZRES, 2431, "HORZRES"},            {VERTRES, 6127, "VERTRES"},
      {LOGPIXELSX, 300, "LOGPIXELSX"},       {LOGPIXELSY, 600, "LOGPIXELSY"},
      {PHYSICALWIDTH, 2550, "PHYSICALWIDTH"}, {PHYSICALHEIGHT, 6600, "PHYSICALHEIGHT"},
      {PHYSICALOFFSETX, 118, "PHYSICALOFFSETX"}, {PHYSICALOFFSETY, 472, "PHYSICALOFFSETY"},
      {12, 0, "12"},                         {-1, 0, "-1"},
      {0, 0, "0"},
  };
  HDC dc = Open("Offset");
  ASSERT_NE(dc, nullptr);
  std::string expected = Created(1, "Offset");
  for (const TCase& c : cases) {
    EXPECT_EQ(GetDeviceCaps(dc, c.Index), c.Result) << c.Name;
    expected += "GetDeviceCaps " + std::string(c.Name) + " -> " + std::to_string(c.Result) + "\n";
  }
  DeleteDC(dc);
  EXPECT_EQ(Trace(), expected + "DeleteDC\n");
}

TEST_F(TraceDevice, UnknownDriversAndUnwritablePortsGiveNoContext) {
  const char* drivers[] = {nullptr, "", "NOPE", "TRAC", "TRACEX", " TRACE", "PDF "};
  for (const char* driver : drivers) {
    EXPECT_EQ(CreateDCA(driver, "Trace", Port.c_str(), nullptr), nullptr)
        << (driver ? driver : "(null)");
    EXPECT_FALSE(std::filesystem::exists(Port)) << (driver ? driver : "(null)");
  }
  const std::string ports[] = {"", Dir, Dir + "/missing/job.trace"};
  for (const std::string& port : ports)
    EXPECT_EQ(CreateDCA("TRACE", "Trace", port.c_str(), nullptr), nullptr) << port;
  EXPECT_EQ(CreateDCA("TRACE", "Trace", nullptr, nullptr), nullptr);
  EXPECT_TRUE(LiveContexts().empty());
  // None of the failures took a number; the driver matches in any case.
  for (const char* driver : {"trace", "Trace", "tRaCe"}) {
    HDC dc = CreateDCA(driver, nullptr, Port.c_str(), nullptr);
    ASSERT_NE(dc, nullptr) << driver;
    DeleteDC(dc);
  }
  EXPECT_EQ(Trace(), "CreateDCA \"tRaCe\" \"\" \"" + Port + "\" -> DC3\nDeleteDC\n");
}

TEST_F(TraceDevice, OpenTruncatesAndAbortKeepsTheTrace) {
  std::ofstream(Port, std::ios::binary) << "an older trace\nthat is longer\n";
  HDC dc = Open();
  DOCINFOA doc = Document("job");
  StartDocA(dc, &doc);
  StartPage(dc);
  AbortDoc(dc);
  DeleteDC(dc);
  EXPECT_EQ(Trace(), Created() + "StartDocA \"job\"\nStartPage\nAbortDoc\nDeleteDC\n");
}

TEST_F(TraceDevice, DashWritesToStandardOutput) {
  testing::internal::CaptureStdout();
  HDC dc = CreateDCA("TRACE", "Trace", "-", nullptr);
  ASSERT_NE(dc, nullptr);
  StartPage(dc);
  DeleteDC(dc);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "CreateDCA \"TRACE\" \"Trace\" \"-\" -> DC1\nStartPage\nDeleteDC\n");
  EXPECT_FALSE(std::filesystem::exists("-"));
}

TEST_F(TraceDevice, StretchDIBitsReportsTheWholeBlock) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, 9);
  auto* block = static_cast<char*>(GlobalLock(handle));
  ASSERT_NE(block, nullptr);
  GlobalLock(handle);  // locked twice: the count must come back as 2
  std::memcpy(block, "123456789", 9);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(block);
  // Pointers below the block only enter the arithmetic; nothing reads them.
  const void* below = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(block) - 8);
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  const auto* emptyInfo = static_cast<const BITMAPINFO*>(GlobalLock(empty));
  HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 16);
  const auto* freedInfo = static_cast<const BITMAPINFO*>(GlobalLock(freed));
  GlobalUnlock(freed);
  GlobalFree(freed);
  BITMAPINFO local{};

  HDC dc = Open();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(StretchDIBits(dc, 10, 20, 300, 400, 0, 0, 3, 4, block + 4, info, DIB_RGB_COLORS,
                          SRCCOPY), 4);
  EXPECT_EQ(StretchDIBits(dc, -1, -2, -3, -4, 5, 6, 7, -8, below, info, 1, 0xdeadbeef), 8);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, INT_MIN, block, info, 0, SRCCOPY), INT_MAX);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 0, block + 9, info, 0, SRCCOPY), 0);
  // Where no block can be found: nothing of it is read.
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 2, &local.bmiColors, &local, 0, SRCCOPY), 2);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, nullptr, nullptr, 0, SRCCOPY), 1);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, emptyInfo, emptyInfo, 0, SRCCOPY), 1);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, freedInfo, freedInfo, 0, SRCCOPY), 1);
  // Locating the block leaves its lock count as the job had it.
  EXPECT_TRUE(GlobalUnlock(handle));
  EXPECT_FALSE(GlobalUnlock(handle));
  DeleteDC(dc);
  GlobalFree(handle);
  GlobalUnlock(empty);
  GlobalFree(empty);

  EXPECT_EQ(Trace(), Created() +
                         "StretchDIBits 10 20 300 400 0 0 3 4 size=9 bits=+4 crc32=cbf43926 "
                         "usage=0 rop=0x00cc0020\n"
                         "StretchDIBits -1 -2 -3 -4 5 6 7 -8 size=9 bits=-8 crc32=cbf43926 "
                         "usage=1 rop=0xdeadbeef\n"
                         "StretchDIBits 0 0 1 1 0 0 1 -2147483648 size=9 bits=+0 crc32=cbf43926 "
                         "usage=0 rop=0x00cc0020\n"
                         "StretchDIBits 0 0 1 1 0 0 1 0 size=9 bits=+9 crc32=cbf43926 "
                         "usage=0 rop=0x00cc0020\n"
                         "StretchDIBits 0 0 1 1 0 0 1 2 size=0 bits=+40 crc32=00000000 "
                         "usage=0 rop=0x00cc0020\n"
                         "StretchDIBits 0 0 1 1 0 0 1 1 size=0 bits=+0 crc32=00000000 "
                         "usage=0 rop=0x00cc0020\n"
                         "StretchDIBits 0 0 1 1 0 0 1 1 size=0 bits=+0 crc32=00000000 "
                         "usage=0 rop=0x00cc0020\n"
                         "StretchDIBits 0 0 1 1 0 0 1 1 size=0 bits=+0 crc32=00000000 "
                         "usage=0 rop=0x00cc0020\n"
                         "DeleteDC\n");
}

}  // namespace
}  // namespace tolvane
