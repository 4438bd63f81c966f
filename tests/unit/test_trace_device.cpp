// The device calls against the recording device: whole traces compared, and
// every handle or argument that a job could get wrong.
#include <stdlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "device/device.h"
#include "device_scratch.h"

namespace tolvane {
namespace {

// Runs in a directory of its own, so that traces name their port "job.trace".
class TraceDevice : public DeviceScratchTest {
 protected:
  void SetUp() override {
    EnterScratch("tolvane_trace", "[Trace]\nhorzsize=203\nhorzres=2400\nvertsize=287\n"
                                   "vertres=3390\n[Offset]\npaper=Letter\n"
                                   "resolution=300x600\nmargins=10,20,0,0\n");
  }
};

HDC Open(const char* device = "Trace", const char* port = "job.trace") {
  return CreateDCA("TRACE", device, port, nullptr);
}

std::string Trace(const char* port = "job.trace") {
  std::stringstream text;
  text << std::ifstream(port, std::ios::binary).rdbuf();
  return text.str();
}

LOGFONTA CourierNew() {
  LOGFONTA font{};
  font.lfHeight = 43;
  font.lfWidth = 28;
  std::strcpy(font.lfFaceName, "Courier New");
  return font;
}

const std::string Courier =
    "CreateFontIndirectA height=43 width=28 escapement=0 orientation=0 weight=0 italic=0 "
    "underline=0 strikeout=0 charset=0 outprecision=0 clipprecision=0 quality=0 "
    "pitchandfamily=0 face=\"Courier New\" -> ";

TEST_F(TraceDevice, ReproducesTheOneLineJob) {
  HDC dc = Open();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 203);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 2400);
  EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 287);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 3390);
  DOCINFOA doc{sizeof(DOCINFOA), "Tolvane_drv", nullptr, nullptr, 0};
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
  SelectObject(dc, second);
  EXPECT_TRUE(TextOutA(dc, 110, 50, "A", 1));
  EXPECT_GT(EndPage(dc), 0);
  SelectObject(dc, stock);
  EXPECT_TRUE(DeleteObject(second));
  EXPECT_GT(EndDoc(dc), 0);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_EQ(Trace(), R"(CreateDCA "TRACE" "Trace" "job.trace" -> DC1
GetDeviceCaps HORZSIZE -> 203
GetDeviceCaps HORZRES -> 2400
GetDeviceCaps VERTSIZE -> 287
GetDeviceCaps VERTRES -> 3390
StartDocA "Tolvane_drv"
)" + Courier + R"(F1
SelectObject F1 -> F0
SetBkMode 1
StartPage
SetBkMode 1
SelectObject F0 -> F1
DeleteObject F1
)" + Courier + R"(F2
SelectObject F2 -> F0
TextOutA 110 50 "A"
EndPage
SelectObject F0 -> F2
DeleteObject F2
EndDoc
DeleteDC
)");
}

TEST_F(TraceDevice, EscapesEveryByteOutsidePrintableAscii) {
  HDC dc = Open("T\"r\\\xe9");
  DOCINFOA doc{sizeof(DOCINFOA), "d\x01", nullptr, nullptr, 0};
  StartDocA(dc, &doc);
  const char* texts[] = {"ok ~!", "\"\\", "\t\r\n\x1b\x7f\x80\xff", "a\0b", "cut here", nullptr};
  const int counts[] = {5, 2, 7, 3, 3, 0};
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(TextOutA(dc, -3, 7, texts[i], counts[i]));
  LOGFONTA font{};
  font.lfHeight = -12;
  font.lfEscapement = 900;
  font.lfWeight = FW_BOLD;
  font.lfItalic = 255;
  std::memset(font.lfFaceName, 'x', LF_FACESIZE);  // no room for the end
  font.lfFaceName[0] = '"';
  DeleteObject(CreateFontIndirectA(&font));
  DeleteDC(dc);
  EXPECT_EQ(Trace(), R"(CreateDCA "TRACE" "T\x22r\x5c\xe9" "job.trace" -> DC1
StartDocA "d\x01"
TextOutA -3 7 "ok ~!"
TextOutA -3 7 "\x22\x5c"
TextOutA -3 7 "\x09\x0d\x0a\x1b\x7f\x80\xff"
TextOutA -3 7 "a\x00b"
TextOutA -3 7 "cut"
TextOutA -3 7 ""
CreateFontIndirectA height=-12 width=0 escapement=900 orientation=0 weight=700 italic=255 )"
            R"(underline=0 strikeout=0 charset=0 outprecision=0 clipprecision=0 quality=0 )"
            R"(pitchandfamily=0 face="\x22)" + std::string(30, 'x') + R"(" -> F1
DeleteObject F1
DeleteDC
)");
}

// One glyph at a time takes a way of its own; its numbers at the edges of
// the 32-bit range and the bytes it must not take alone read as any other.
TEST_F(TraceDevice, OneGlyphLinesReadAsAnyOther) {
  struct TCase {
    int X, Y;
    char Byte;
    const char* Line;
  };
  const TCase cases[] = {
      {0, 0, 'a', "TextOutA 0 0 \"a\""},
      {INT_MIN, INT_MAX, ' ', "TextOutA -2147483648 2147483647 \" \""},
      {-1, 1000000007, '~', "TextOutA -1 1000000007 \"~\""},
      {9, -10, '"', "TextOutA 9 -10 \"\\x22\""},
      {10, -9, '\x1f', "TextOutA 10 -9 \"\\x1f\""},
  };
  HDC dc = Open();
  for (const TCase& c : cases) EXPECT_TRUE(TextOutA(dc, c.X, c.Y, &c.Byte, 1));
  DeleteDC(dc);
  std::string expected = "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\n";
  for (const TCase& c : cases) expected += std::string(c.Line) + "\n";
  EXPECT_EQ(Trace(), expected + "DeleteDC\n");
}

TEST_F(TraceDevice, FontsNumberedOverTheProcessAndHeardByEveryContext) {
  LOGFONTA logFont = CourierNew();
  HFONT early = CreateFontIndirectA(&logFont);  // before any context
  HDC first = Open(), second = Open("Trace", "second.trace");
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);  // takes no number
  HFONT f2 = CreateFontIndirectA(&logFont);
  EXPECT_EQ(SelectObject(first, early), StockFont());
  EXPECT_EQ(SelectObject(second, f2), StockFont());
  DeleteDC(first);
  HFONT f3 = CreateFontIndirectA(&logFont);
  DeleteDC(second);
  EXPECT_EQ(FontHandleName(f3), "F3");
  EXPECT_EQ(FontHandleName(nullptr), "0");
  std::string both = "CreateFontIndirectA -> 0\n" + Courier + "F2\n";
  EXPECT_EQ(Trace(), "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\n" + both +
                         "SelectObject F1 -> F0\nDeleteDC\n");
  EXPECT_EQ(Trace("second.trace"), "CreateDCA \"TRACE\" \"Trace\" \"second.trace\" -> DC2\n" +
                                       both + "SelectObject F2 -> F0\n" + Courier +
                                       "F3\nDeleteDC\n");
  for (HFONT font : {early, f2, f3}) EXPECT_TRUE(DeleteObject(font));
}

TEST_F(TraceDevice, FontDeletedWhileSelectedLivesUntilDeselected) {
  LOGFONTA logFont = CourierNew();
  HDC dc = Open(), other = Open("Trace", "other.trace");
  HFONT shared = CreateFontIndirectA(&logFont);
  EXPECT_EQ(SelectObject(dc, shared), StockFont());
  EXPECT_EQ(SelectObject(dc, shared), shared);  // reselecting must not free it
  SelectObject(other, shared);
  EXPECT_TRUE(DeleteObject(shared));
  EXPECT_FALSE(DeleteObject(shared));  // dead for the job at once
  EXPECT_EQ(SelectObject(dc, shared), nullptr);
  EXPECT_EQ(SelectObject(dc, StockFont()), shared);  // other still holds it
  EXPECT_TRUE(DeleteDC(other));                      // freed here
  HFONT alone = CreateFontIndirectA(&logFont);
  SelectObject(dc, alone);
  EXPECT_TRUE(DeleteObject(alone));
  EXPECT_EQ(SelectObject(dc, StockFont()), alone);  // freed here
  EXPECT_FALSE(DeleteObject(alone));
  DeleteDC(dc);
  EXPECT_EQ(Trace(), "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\n" + Courier + R"(F1
SelectObject F1 -> F0
SelectObject F1 -> F1
DeleteObject F1
DeleteObject 0
SelectObject 0 -> 0
SelectObject F0 -> F1
)" + Courier + R"(F2
SelectObject F2 -> F0
DeleteObject F2
SelectObject F0 -> F2
DeleteObject 0
DeleteDC
)");
}

TEST_F(TraceDevice, StaleAndMadeUpHandlesAreRefusedUntouched) {
  HDC stale = Open();
  DeleteDC(stale);
  static char bogus[1];  // dereferenced as a context or font, it trips ASan
  DOCINFOA doc{};
  BITMAPINFO info{};
  for (HDC bad : {stale, reinterpret_cast<HDC>(bogus), HDC{}}) {
    EXPECT_EQ(GetDeviceCaps(bad, HORZRES), 0);
    EXPECT_LE(std::max({StartDocA(bad, &doc), StartPage(bad), EndPage(bad), EndDoc(bad),
                        AbortDoc(bad), SetBkMode(bad, 1)}),
              0);
    EXPECT_EQ(SelectObject(bad, StockFont()), nullptr);
    EXPECT_FALSE(TextOutA(bad, 0, 0, "x", 1));
    EXPECT_EQ(StretchDIBits(bad, 0, 0, 1, 1, 0, 0, 1, 1, &info, &info, 0, SRCCOPY), 0);
    EXPECT_FALSE(DeleteDC(bad));
  }
  HDC dc = Open("Trace", "objects.trace");
  LOGFONTA logFont = CourierNew();
  HFONT font = CreateFontIndirectA(&logFont);
  SelectObject(dc, font);
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(bogus)), nullptr);  // selection kept
  EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(bogus)));
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_TRUE(DeleteObject(StockFont()));  // and it stays
  EXPECT_EQ(SelectObject(dc, StockFont()), font);
  EXPECT_EQ(SelectObject(dc, StockFont()), StockFont());
  DeleteDC(dc);
  EXPECT_EQ(Trace(), "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\nDeleteDC\n");
  EXPECT_EQ(Trace("objects.trace"),
            "CreateDCA \"TRACE\" \"Trace\" \"objects.trace\" -> DC2\n" + Courier + R"(F1
SelectObject F1 -> F0
SelectObject 0 -> 0
DeleteObject 0
DeleteObject 0
DeleteObject F0
SelectObject F0 -> F1
SelectObject F0 -> F0
DeleteDC
)");
}

TEST_F(TraceDevice, CallsOutOfOrderFailButAreTraced) {
  std::ofstream("job.trace") << "an older and longer trace\n";
  HDC dc = Open();
  DOCINFOA doc{};
  // Arguments that cannot be passed on never reach the device.
  EXPECT_FALSE(TextOutA(dc, 1, 2, "abc", -1) || TextOutA(dc, 1, 2, nullptr, 1));
  EXPECT_LE(StartDocA(dc, nullptr), 0);
  // A braced list runs its calls in order, as the trace below expects.
  EXPECT_LE(std::max({StartPage(dc), EndPage(dc), EndDoc(dc), AbortDoc(dc)}), 0);
  EXPECT_GT(StartDocA(dc, &doc), 0);
  EXPECT_LE(std::max({StartDocA(dc, &doc), EndPage(dc)}), 0);
  EXPECT_GT(StartPage(dc), 0);
  EXPECT_LE(StartPage(dc), 0);
  EXPECT_EQ(SetBkMode(dc, 7), 0);  // no such mode: OPAQUE stays
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_GT(AbortDoc(dc), 0);  // ends the page too
  EXPECT_LE(std::max({EndPage(dc), AbortDoc(dc)}), 0);
  DeleteDC(dc);
  EXPECT_EQ(Trace(), "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\nStartPage\nEndPage\n"
                     "EndDoc\nAbortDoc\nStartDocA \"\"\nStartDocA \"\"\nEndPage\nStartPage\n"
                     "StartPage\nSetBkMode 7\nSetBkMode 1\nAbortDoc\nEndPage\nAbortDoc\nDeleteDC\n");
}

TEST_F(TraceDevice, DeviceCapsFromTheGeometry) {
  struct TCap {
    int Index;
    const char* Name;
    int Result;
  };
  // Letter at 300 x 600 dpi, margins 10 mm left and 20 mm top.
  const TCap caps[] = {
      {HORZSIZE, "HORZSIZE", 205},           {VERTSIZE, "VERTSIZE", 259},
      {HORZRES, "HORZRES", 2431},            {VERTRES, "VERTRES", 6127},
      {LOGPIXELSX, "LOGPIXELSX", 300},       {LOGPIXELSY, "LOGPIXELSY", 600},
      {PHYSICALWIDTH, "PHYSICALWIDTH", 2550}, {PHYSICALHEIGHT, "PHYSICALHEIGHT", 6600},
      {PHYSICALOFFSETX, "PHYSICALOFFSETX", 118}, {PHYSICALOFFSETY, "PHYSICALOFFSETY", 472},
      {12, "12", 0},                         {-1, "-1", 0}};
  HDC dc = Open("Offset");
  std::string expected = "CreateDCA \"TRACE\" \"Offset\" \"job.trace\" -> DC1\n";
  for (const TCap& cap : caps) {
    EXPECT_EQ(GetDeviceCaps(dc, cap.Index), cap.Result) << cap.Name;
    expected += "GetDeviceCaps " + std::string(cap.Name) + " -> " + std::to_string(cap.Result) + "\n";
  }
  DeleteDC(dc);
  EXPECT_EQ(Trace(), expected + "DeleteDC\n");
}

TEST_F(TraceDevice, UnknownDriversAndUnwritablePortsGiveNoContext) {
  for (const char* driver : {(const char*)nullptr, "", "NOPE", "TRAC", "TRACEX", " TRACE"})
    EXPECT_EQ(CreateDCA(driver, "Trace", "job.trace", nullptr), nullptr);
  EXPECT_FALSE(std::filesystem::exists("job.trace"));
  for (const char* port : {(const char*)nullptr, "", ".", "missing/job.trace"})
    EXPECT_EQ(Open("Trace", port), nullptr);
  EXPECT_TRUE(LiveContexts().empty());
  // No failure took a number; the driver matches in any case.
  for (const char* driver : {"trace", "tRaCe"}) DeleteDC(CreateDCA(driver, 0, "job.trace", 0));
  EXPECT_EQ(Trace(), "CreateDCA \"tRaCe\" \"\" \"job.trace\" -> DC2\nDeleteDC\n");
}

TEST_F(TraceDevice, DashWritesToStandardOutput) {
  testing::internal::CaptureStdout();
  DeleteDC(Open("Trace", "-"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "CreateDCA \"TRACE\" \"Trace\" \"-\" -> DC1\nDeleteDC\n");
  EXPECT_FALSE(std::filesystem::exists("-"));
}

// A harness's opener takes the port instead of a file: the same bytes, the
// same numbering, and no file; an opener that fails gives no context. (The
// fuzz targets that use it are Linux's, as is open_memstream.)
#ifndef _WIN32
char* MemoryBytes = nullptr;
size_t MemorySize = 0;
std::string OpenedPort;

std::FILE* OpenInMemory(const std::string& port) {
  OpenedPort = port;
  return open_memstream(&MemoryBytes, &MemorySize);
}

std::FILE* OpenNothing(const std::string&) { return nullptr; }

TEST_F(TraceDevice, AnOpenerOfItsOwnTakesTheTrace) {
  auto job = [] {
    HDC dc = Open();
    DOCINFOA doc{sizeof(DOCINFOA), "Tolvane_drv", nullptr, nullptr, 0};
    StartDocA(dc, &doc);
    StartPage(dc);
    TextOutA(dc, 1, 2, "\"x\x01", 3);
    EndPage(dc);
    EndDoc(dc);
    DeleteDC(dc);
  };
  job();
  std::string onDisk = Trace();
  std::filesystem::remove("job.trace");
  ResetDeviceLayer();
  UseTraceOpener(OpenInMemory);
  job();
  UseTraceOpener(OpenNothing);
  EXPECT_EQ(Open(), nullptr);
  UseTraceOpener(nullptr);
  EXPECT_EQ(OpenedPort, "job.trace");
  EXPECT_EQ(std::string(MemoryBytes, MemorySize), onDisk);
  EXPECT_FALSE(std::filesystem::exists("job.trace"));
  free(MemoryBytes);
  EXPECT_TRUE(LiveContexts().empty());
}
#endif

TEST_F(TraceDevice, StretchDIBitsReportsTheWholeBlock) {
  HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, 9), empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  auto* block = static_cast<char*>(GlobalLock(handle));
  GlobalLock(handle);  // locked twice: locating the block must leave 2
  std::memcpy(block, "123456789", 9);
  auto* info = reinterpret_cast<const BITMAPINFO*>(block);
  auto* emptyInfo = static_cast<const BITMAPINFO*>(GlobalLock(empty));
  // Never read: it only enters the arithmetic.
  auto* below = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(block) - 8);
  BITMAPINFO local{};
  HDC dc = Open();
  EXPECT_EQ(StretchDIBits(dc, 10, 20, 300, 400, 0, 0, 3, 4, block + 4, info, 0, SRCCOPY), 4);
  EXPECT_EQ(StretchDIBits(dc, -1, -2, -3, -4, 5, 6, 7, -8, below, info, 1, 0xdeadbeef), 8);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, INT_MIN, block, info, 0, 0), INT_MAX);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 2, &local.bmiColors, &local, 0, 0), 2);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 0, nullptr, nullptr, 0, 0), 0);
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, emptyInfo, emptyInfo, 0, 0), 1);
  GlobalUnlock(empty);
  GlobalFree(empty);  // now stale
  EXPECT_EQ(StretchDIBits(dc, 0, 0, 1, 1, 0, 0, 1, 1, emptyInfo, emptyInfo, 0, 0), 1);
  EXPECT_TRUE(GlobalUnlock(handle));
  EXPECT_FALSE(GlobalUnlock(handle));
  GlobalFree(handle);
  DeleteDC(dc);
  EXPECT_EQ(Trace(), R"(CreateDCA "TRACE" "Trace" "job.trace" -> DC1
StretchDIBits 10 20 300 400 0 0 3 4 size=9 bits=+4 crc32=cbf43926 usage=0 rop=0x00cc0020
StretchDIBits -1 -2 -3 -4 5 6 7 -8 size=9 bits=-8 crc32=cbf43926 usage=1 rop=0xdeadbeef
StretchDIBits 0 0 1 1 0 0 1 -2147483648 size=9 bits=+0 crc32=cbf43926 usage=0 rop=0x00000000
StretchDIBits 0 0 1 1 0 0 1 2 size=0 bits=+40 crc32=00000000 usage=0 rop=0x00000000
StretchDIBits 0 0 1 1 0 0 1 0 size=0 bits=+0 crc32=00000000 usage=0 rop=0x00000000
StretchDIBits 0 0 1 1 0 0 1 1 size=0 bits=+0 crc32=00000000 usage=0 rop=0x00000000
StretchDIBits 0 0 1 1 0 0 1 1 size=0 bits=+0 crc32=00000000 usage=0 rop=0x00000000
DeleteDC
)");
}

// Text goes to the context it is drawn on, newest or older, and never to
// one deleted: the newest is no longer the one made last once that is gone.
TEST_F(TraceDevice, TextReachesOnlyLiveContexts) {
  HDC first = Open(), second = Open("Trace", "second.trace");
  EXPECT_TRUE(TextOutA(first, 1, 2, "a", 1));
  EXPECT_TRUE(TextOutA(second, 3, 4, "b", 1));
  DeleteDC(second);
  EXPECT_FALSE(TextOutA(second, 5, 6, "c", 1));
  EXPECT_TRUE(TextOutA(first, 7, 8, "d", 1));
  HDC third = Open("Trace", "third.trace");
  DeleteDC(first);
  EXPECT_FALSE(TextOutA(first, 9, 10, "e", 1));
  EXPECT_FALSE(TextOutA(nullptr, 9, 10, "e", 1));
  EXPECT_TRUE(TextOutA(third, 11, 12, "f", 1));
  DeleteDC(third);
  EXPECT_FALSE(TextOutA(third, 13, 14, "g", 1));
  const std::string head = "CreateDCA \"TRACE\" \"Trace\" ";
  EXPECT_EQ(Trace(), head + "\"job.trace\" -> DC1\nTextOutA 1 2 \"a\"\nTextOutA 7 8 \"d\"\nDeleteDC\n");
  EXPECT_EQ(Trace("second.trace"),
            head + "\"second.trace\" -> DC2\nTextOutA 3 4 \"b\"\nDeleteDC\n");
  EXPECT_EQ(Trace("third.trace"),
            head + "\"third.trace\" -> DC3\nTextOutA 11 12 \"f\"\nDeleteDC\n");
}

}  // namespace
}  // namespace tolvane
