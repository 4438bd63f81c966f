// A printer's geometry from its profile section: sheet sizes, resolutions,
// margins, overrides, and what a bad value falls back on.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "device/device.h"

namespace tolvane {
namespace {

// Every profile written is a new file, so no cached copy of an earlier one
// can answer for it.
class PrinterGeometry : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = getenv("TOLVANE_SYSTEM_PROFILE");
    if (saved) Saved = saved;
    char pattern[] = "/tmp/tolvane_geometry_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
  }
  void TearDown() override {
    if (Saved)
      setenv("TOLVANE_SYSTEM_PROFILE", Saved->c_str(), 1);
    else
      unsetenv("TOLVANE_SYSTEM_PROFILE");
    std::filesystem::remove_all(Dir);
  }

  // The geometry of a printer whose section holds the given key=value lines.
  TPrinterGeometry Read(const std::string& lines) {
    std::string path = Dir + "/system" + std::to_string(++Written) + ".ini";
    std::ofstream(path, std::ios::binary) << "[Other]\npaper=A3\n[Printer]\n" << lines << "\n";
    setenv("TOLVANE_SYSTEM_PROFILE", path.c_str(), 1);
    return ReadPrinterGeometry("Printer");
  }

  std::optional<std::string> Saved;
  std::string Dir;
  int Written = 0;
};

struct TAreaCase {
  const char* Lines;
  int64_t PaperWidth, PaperHeight;  // micrometres
  int32_t HorzSize, VertSize, HorzRes, VertRes;
};

void ExpectArea(const TPrinterGeometry& g, const TAreaCase& c) {
  EXPECT_EQ(g.PaperWidthMicro, c.PaperWidth) << c.Lines;
  EXPECT_EQ(g.PaperHeightMicro, c.PaperHeight) << c.Lines;
  EXPECT_EQ(g.HorzSize, c.HorzSize) << c.Lines;
  EXPECT_EQ(g.VertSize, c.VertSize) << c.Lines;
  EXPECT_EQ(g.HorzRes, c.HorzRes) << c.Lines;
  EXPECT_EQ(g.VertRes, c.VertRes) << c.Lines;
}

TEST_F(PrinterGeometry, DefaultsAreA4At600DpiWithoutMargins) {
  for (const char* lines : {"", "paper=\nresolution=\nmargins=\ncodepage="}) {
    TPrinterGeometry g = Read(lines);
    ExpectArea(g, {lines, 210000, 297000, 210, 297, 4960, 7015});
    EXPECT_EQ(g.DpiX, 600);
    EXPECT_EQ(g.DpiY, 600);
    EXPECT_EQ(g.MarginLeftMicro + g.MarginTopMicro + g.MarginRightMicro + g.MarginBottomMicro, 0);
    EXPECT_EQ(g.CodePage, 1252);
  }
  // A printer without any section of its own gets the same.
  Read("");
  TPrinterGeometry g = ReadPrinterGeometry("Nowhere");
  ExpectArea(g, {"no section", 210000, 297000, 210, 297, 4960, 7015});
}

TEST_F(PrinterGeometry, PaperNamesAndSizes) {
  const TAreaCase cases[] = {
      {"paper=A3", 297000, 420000, 297, 420, 7015, 9921},
      {"paper=a4", 210000, 297000, 210, 297, 4960, 7015},
      {"paper=A5", 148000, 210000, 148, 210, 3496, 4960},
      {"paper=Letter", 215900, 279400, 215, 279, 5100, 6600},
      {"paper=LETTER", 215900, 279400, 215, 279, 5100, 6600},
      {"paper=legal", 215900, 355600, 215, 355, 5100, 8400},
      {"paper=100x200", 100000, 200000, 100, 200, 2362, 4724},
      {"paper=215.9X279.4", 215900, 279400, 215, 279, 5100, 6600},
      {"paper= 99.5 x 50.25 ", 99500, 50250, 99, 50, 2350, 1187},
      {"paper=.5x1.", 500, 1000, 0, 1, 11, 23},
      // Finer than a micrometre is cut off, not rounded.
      {"paper=10.0019x10.9999", 10001, 10999, 10, 10, 236, 259},
      // The largest sheet taken: 100 m, still inside 32 bits in pixels.
      {"paper=100000x100000", 100000000, 100000000, 100000, 100000, 2362204, 2362204},
  };
  for (const TAreaCase& c : cases) ExpectArea(Read(c.Lines), c);
}

TEST_F(PrinterGeometry, Resolutions) {
  struct TCase {
    const char* Lines;
    int32_t DpiX, DpiY, HorzRes, VertRes;
  };
  const TCase cases[] = {
      {"resolution=300", 300, 300, 2480, 3507},
      {"resolution=300x600", 300, 600, 2480, 7015},
      {"resolution=1200X1200", 1200, 1200, 9921, 14031},
      {"resolution= 72 x 96 ", 72, 96, 595, 1122},
      {"resolution=1", 1, 1, 8, 11},
      {"paper=Letter\nresolution=600", 600, 600, 5100, 6600},
      {"paper=Letter\nresolution=100000", 100000, 100000, 850000, 1100000},
  };
  for (const TCase& c : cases) {
    TPrinterGeometry g = Read(c.Lines);
    EXPECT_EQ(g.DpiX, c.DpiX) << c.Lines;
    EXPECT_EQ(g.DpiY, c.DpiY) << c.Lines;
    EXPECT_EQ(g.HorzRes, c.HorzRes) << c.Lines;
    EXPECT_EQ(g.VertRes, c.VertRes) << c.Lines;
  }
}

TEST_F(PrinterGeometry, Margins) {
  struct TCase {
    const char* Lines;
    int64_t Left, Top, Right, Bottom;  // micrometres
    int32_t HorzSize, VertSize, HorzRes, VertRes;
  };
  const TCase cases[] = {
      {"margins=5", 5000, 5000, 5000, 5000, 200, 287, 4724, 6779},
      {"margins=5,10,15,20", 5000, 10000, 15000, 20000, 190, 267, 4488, 6307},
      {"margins= 2.5 , 3.5,4.25 ,0.001", 2500, 3500, 4250, 1, 203, 293, 4801, 6933},
      {"margins=0.4", 400, 400, 400, 400, 209, 296, 4941, 6996},
      // Exactly the sheet, and more than the sheet: nothing printable.
      {"margins=105", 105000, 105000, 105000, 105000, 0, 87, 0, 2055},
      {"margins=200,0,200,300", 200000, 0, 200000, 300000, 0, 0, 0, 0},
      {"margins=100000", 100000000, 100000000, 100000000, 100000000, 0, 0, 0, 0},
  };
  for (const TCase& c : cases) {
    TPrinterGeometry g = Read(c.Lines);
    EXPECT_EQ(g.MarginLeftMicro, c.Left) << c.Lines;
    EXPECT_EQ(g.MarginTopMicro, c.Top) << c.Lines;
    EXPECT_EQ(g.MarginRightMicro, c.Right) << c.Lines;
    EXPECT_EQ(g.MarginBottomMicro, c.Bottom) << c.Lines;
    EXPECT_EQ(g.HorzSize, c.HorzSize) << c.Lines;
    EXPECT_EQ(g.VertSize, c.VertSize) << c.Lines;
    EXPECT_EQ(g.HorzRes, c.HorzRes) << c.Lines;
    EXPECT_EQ(g.VertRes, c.VertRes) << c.Lines;
  }
}

TEST_F(PrinterGeometry, OverridesReplaceExactlyWhatTheyName) {
  struct TCase {
    const char* Lines;
    int32_t HorzSize, VertSize, HorzRes, VertRes;
  };
  const TCase cases[] = {
      {"horzsize=203\nhorzres=2400\nvertsize=287\nvertres=3390", 203, 287, 2400, 3390},
      {"horzres=1", 210, 297, 1, 7015},
      {"vertsize=0", 210, 0, 4960, 7015},
      {"paper=Letter\nmargins=10\nvertres=9999", 195, 259, 4627, 9999},
      {"horzsize=2147483647", 2147483647, 297, 4960, 7015},
      // Bad overrides leave the derived value.
      {"horzsize=-5\nvertsize=2147483648\nhorzres=12a\nvertres=x", 210, 297, 4960, 7015},
      {"horzres=1.5\nvertres=99999999999999999999999", 210, 297, 4960, 7015},
  };
  for (const TCase& c : cases) {
    TPrinterGeometry g = Read(c.Lines);
    EXPECT_EQ(g.HorzSize, c.HorzSize) << c.Lines;
    EXPECT_EQ(g.VertSize, c.VertSize) << c.Lines;
    EXPECT_EQ(g.HorzRes, c.HorzRes) << c.Lines;
    EXPECT_EQ(g.VertRes, c.VertRes) << c.Lines;
  }
  // An override changes nothing that it does not name.
  TPrinterGeometry g = Read("horzres=1\nhorzsize=1");
  EXPECT_EQ(g.DpiX, 600);
  EXPECT_EQ(g.PaperWidthMicro, 210000);
}

TEST_F(PrinterGeometry, MalformedValuesFallBackOnThatKeysDefault) {
  const char* papers[] = {"A6", "A4 x", "100x", "x200", "100x200x300", "-100x200",
                          "0x200", "200x0.0001", "100,200", "1e3x200", ".x1", "100000.001x1",
                          "99999999999999999999999999x1", "100 200", "Letterx"};
  for (const char* paper : papers) {
    // Resolution and margins beside the bad paper still count.
    TPrinterGeometry g = Read(std::string("paper=") + paper + "\nresolution=300\nmargins=1");
    EXPECT_EQ(g.PaperWidthMicro, 210000) << paper;
    EXPECT_EQ(g.PaperHeightMicro, 297000) << paper;
    EXPECT_EQ(g.DpiX, 300) << paper;
    EXPECT_EQ(g.MarginTopMicro, 1000) << paper;
  }
  const char* resolutions[] = {"0",    "-600",   "600x",   "x600",  "abc",  "100001",
                               "600.5", "600x0", "600x600x600", "600,600", "99999999999999999999"};
  for (const char* resolution : resolutions) {
    TPrinterGeometry g = Read(std::string("paper=Letter\nresolution=") + resolution);
    EXPECT_EQ(g.DpiX, 600) << resolution;
    EXPECT_EQ(g.DpiY, 600) << resolution;
    EXPECT_EQ(g.HorzRes, 5100) << resolution;
    EXPECT_EQ(g.PaperWidthMicro, 215900) << resolution;
  }
  const char* margins[] = {"5,10", "5,10,15", "5,10,15,20,25", "a", "5;10", "-5", "5,,10,15",
                           "5,10,15,", ",5", "100000.001", "1 2"};
  for (const char* margin : margins) {
    TPrinterGeometry g = Read(std::string("paper=A5\nmargins=") + margin);
    EXPECT_EQ(g.MarginLeftMicro + g.MarginTopMicro + g.MarginRightMicro + g.MarginBottomMicro, 0)
        << margin;
    EXPECT_EQ(g.HorzSize, 148) << margin;
  }
}

TEST_F(PrinterGeometry, CodePages) {
  struct TCase {
    const char* Lines;
    int32_t CodePage;
  };
  const TCase cases[] = {
      {"codepage=1250", 1250}, {"codepage=437", 437},   {"codepage= 850 ", 850},
      {"codepage=65535", 65535}, {"codepage=0", 1252},  {"codepage=65536", 1252},
      {"codepage=-1250", 1252}, {"codepage=cp1250", 1252}, {"codepage=1250x", 1252},
  };
  for (const TCase& c : cases) EXPECT_EQ(Read(c.Lines).CodePage, c.CodePage) << c.Lines;
}

TEST(MicrometresToPixels, CutsDownAndNeverOverflows) {
  struct TCase {
    int64_t Micro;
    int32_t Dpi;
    int32_t Pixels;
  };
  const int64_t largest64 = std::numeric_limits<int64_t>::max();
  const int32_t largest32 = std::numeric_limits<int32_t>::max();
  const TCase cases[] = {
      {215900, 600, 5100},        {25400, 1, 1},         {25399, 1, 0},
      {297000, 600, 7015},        {0, 600, 0},           {-1, 600, 0},
      {25400, 0, 0},              {25400, -600, 0},      {largest64, 600, largest32},
      {largest64, largest32, largest32}, {largest64 / 600, 600, largest32},
      {int64_t{largest32} * 25400, 1, largest32}, {int64_t{largest32} * 25400 + 25400, 1, largest32},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(MicrometresToPixels(c.Micro, c.Dpi), c.Pixels) << c.Micro << " at " << c.Dpi;
}

}  // namespace
}  // namespace tolvane
