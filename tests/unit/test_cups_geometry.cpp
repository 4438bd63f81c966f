// The paper of a CUPS queue as a printer geometry, and the printer's profile
// section over it.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "device/device.h"
#include "device/linux/cups_geometry.h"

namespace tolvane {
namespace {

struct TArea {
  int32_t HorzSize, VertSize, HorzRes, VertRes;
};

void ExpectArea(const TPrinterGeometry& g, const TArea& a, const std::string& label) {
  EXPECT_EQ(g.HorzSize, a.HorzSize) << label;
  EXPECT_EQ(g.VertSize, a.VertSize) << label;
  EXPECT_EQ(g.HorzRes, a.HorzRes) << label;
  EXPECT_EQ(g.VertRes, a.VertRes) << label;
}

// Points the system printer profile at path for the time of a test.
struct TProfileAt {
  explicit TProfileAt(const std::string& path) {
    if (const char* value = getenv("TOLVANE_SYSTEM_PROFILE")) Saved = value;
    setenv("TOLVANE_SYSTEM_PROFILE", path.c_str(), 1);
  }
  ~TProfileAt() {
    if (Saved.empty())
      unsetenv("TOLVANE_SYSTEM_PROFILE");
    else
      setenv("TOLVANE_SYSTEM_PROFILE", Saved.c_str(), 1);
  }
  std::string Saved;
};

cups_size_t Media(int width, int length, int left, int top, int right, int bottom) {
  cups_size_t size{};
  size.width = width, size.length = length;
  size.left = left, size.top = top, size.right = right, size.bottom = bottom;
  return size;
}

TEST(CupsGeometry, DotsPerCentimetreAreRoundedToDotsPerInch) {
  EXPECT_EQ(DotsPerInch(600, IPP_RES_PER_INCH), 600);
  EXPECT_EQ(DotsPerInch(118, IPP_RES_PER_CM), 300);  // 299.72
  EXPECT_EQ(DotsPerInch(236, IPP_RES_PER_CM), 599);  // 599.44
  for (int unusable : {0, -300, 100001}) EXPECT_EQ(DotsPerInch(unusable, IPP_RES_PER_INCH), 0);
  EXPECT_EQ(DotsPerInch(40000, IPP_RES_PER_CM), 0);
}

TEST(CupsGeometry, QueueMediaGivesThePrintableArea) {
  TProfileAt profile("/nonexistent/system.ini");
  struct TCase {
    const char* Label;
    cups_size_t Media;
    int32_t DpiX, DpiY;
    TArea Area;
  } cases[] = {
      // Letter with quarter-inch margins: exactly 4800 pixels, not 4799.
      {"letter", Media(21590, 27940, 635, 635, 635, 635), 600, 600, {203, 266, 4800, 6300}},
      // A4 as a PostScript driver gives it, in points (595 x 842).
      {"a4 in points", Media(20990, 29704, 0, 0, 0, 0), 300, 300, {209, 297, 2479, 3508}},
      {"uneven", Media(21000, 29700, 340, 1270, 500, 0), 600, 300, {201, 284, 4762, 3357}},
      {"margins past the sheet", Media(10000, 10000, 6000, 0, 6000, 0), 300, 300, {0, 100, 0, 1181}},
      // What cannot be a sheet, a margin or a resolution is the default.
      {"negative length", Media(21000, -1, 0, 0, 0, 0), 300, 300, {210, 297, 2480, 3507}},
      {"negative margin", Media(21590, 27940, -635, 635, 635, 635), 300, 300, {215, 279, 2550, 3300}},
      {"half a resolution", Media(21590, 27940, 0, 0, 0, 0), 0, 600, {215, 279, 2550, 3300}},
  };
  for (const TCase& c : cases)
    ExpectArea(ReadPrinterGeometry("Queue", CupsMediaGeometry(&c.Media, c.DpiX, c.DpiY)), c.Area,
               c.Label);
  TPrinterGeometry none = ReadPrinterGeometry("Queue", CupsMediaGeometry(nullptr, 300, 300));
  ExpectArea(none, {210, 297, 2480, 3507}, "no media");
  EXPECT_EQ(none.CodePage, 1252);
}

TEST(CupsGeometry, ProfileSectionOverridesTheQueueKeyByKey) {
  char pattern[] = "/tmp/tolvane_cups_geometry_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const cups_size_t letter = Media(21590, 27940, 635, 635, 635, 635);
  const TPrinterGeometry queue = CupsMediaGeometry(&letter, 600, 600);
  struct TCase {
    const char* Lines;
    TArea Area;
    int32_t CodePage = 1252;
  } cases[] = {
      {"", {203, 266, 4800, 6300}},
      {"paper=A5", {135, 197, 3196, 4660}},       // the queue's margins stay
      {"resolution=300", {203, 266, 2400, 3150}},  // the queue's sheet stays
      {"margins=0", {215, 279, 5100, 6600}},
      {"paper=A4\nresolution=300\nmargins=5", {200, 287, 2362, 3389}},
      {"paper=nonsense\nresolution=0\nmargins=-1", {203, 266, 4800, 6300}},
      {"horzres=1000\nvertsize=100", {203, 100, 1000, 6300}},
      {"codepage=1250", {203, 266, 4800, 6300}, 1250},
  };
  int written = 0;
  for (const TCase& c : cases) {
    // A new file each time, so no cached copy of an earlier one answers.
    std::string path = dir + "/system" + std::to_string(++written) + ".ini";
    std::ofstream(path) << "[Other]\npaper=A3\nresolution=72\n[Queue]\n" << c.Lines << "\n";
    TProfileAt profile(path);
    TPrinterGeometry g = ReadPrinterGeometry("queue", queue);
    ExpectArea(g, c.Area, c.Lines);
    EXPECT_EQ(g.CodePage, c.CodePage) << c.Lines;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolvane
