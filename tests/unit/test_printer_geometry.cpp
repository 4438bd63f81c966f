// A printer's geometry from its profile section, and what a bad value falls
// back on.
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

class PrinterGeometry : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* saved = getenv("TOLVANE_SYSTEM_PROFILE")) Saved = saved;
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

  // Each profile is a new file, so no cached copy of an earlier one answers.
  TPrinterGeometry Read(const std::string& lines) {
    std::string path = Dir + "/system" + std::to_string(++Written) + ".ini";
    std::ofstream(path) << "[Other]\npaper=A3\nhorzres=1\n[Printer]\n" << lines << "\n";
    setenv("TOLVANE_SYSTEM_PROFILE", path.c_str(), 1);
    return ReadPrinterGeometry("Printer");
  }

  std::optional<std::string> Saved;
  std::string Dir;
  int Written = 0;
};

struct TCase {
  const char* Lines;
  int32_t HorzSize, VertSize, HorzRes, VertRes;
  int32_t CodePage = 1252;
};

void Check(const TPrinterGeometry& g, const TCase& c) {
  EXPECT_EQ(g.HorzSize, c.HorzSize) << c.Lines;
  EXPECT_EQ(g.VertSize, c.VertSize) << c.Lines;
  EXPECT_EQ(g.HorzRes, c.HorzRes) << c.Lines;
  EXPECT_EQ(g.VertRes, c.VertRes) << c.Lines;
  EXPECT_EQ(g.CodePage, c.CodePage) << c.Lines;
}

TEST_F(PrinterGeometry, PrintableAreaInMillimetresAndPixels) {
  const TCase cases[] = {
      {"", 210, 297, 4960, 7015},
      {"paper=\nresolution=\nmargins=\ncodepage=", 210, 297, 4960, 7015},
      {"paper=A3", 297, 420, 7015, 9921},
      {"paper=A5", 148, 210, 3496, 4960},
      {"paper=LETTER", 215, 279, 5100, 6600},
      {"paper=legal", 215, 355, 5100, 8400},
      {"paper= 99.5 x 50.25 ", 99, 50, 2350, 1187},
      {"paper=.5X1.", 0, 1, 11, 23},
      {"paper=10.0019x10.9999", 10, 10, 236, 259},  // below a micrometre: cut off
      {"paper=100000x100000\nresolution=100000", 100000, 100000, 393700787, 393700787},
      {"resolution= 72 X 96 ", 210, 297, 595, 1122},
      {"paper=Letter\nresolution=1200", 215, 279, 10200, 13200},
      {"margins=5", 200, 287, 4724, 6779},
      {"margins= 2.5 , 3.5,4.25 ,0.001", 203, 293, 4801, 6933},
      {"margins=105", 0, 87, 0, 2055},  // as wide as the sheet and more: 0
      {"margins=200,0,200,300", 0, 0, 0, 0},
      {"horzsize=203\nhorzres=2400\nvertsize=287\nvertres=3390", 203, 287, 2400, 3390},
      {"paper=Letter\nmargins=10\nvertres=9999\nhorzsize=0", 0, 259, 4627, 9999},
      {"horzsize=2147483647\ncodepage= 437 ", 2147483647, 297, 4960, 7015, 437},
      {"codepage=65535", 210, 297, 4960, 7015, 65535},
  };
  for (const TCase& c : cases) Check(Read(c.Lines), c);
  Check(ReadPrinterGeometry("Nowhere"), {"no section", 210, 297, 4960, 7015});
}

// Each bad value costs its own key only: the good ones beside it still count.
TEST_F(PrinterGeometry, MalformedValueFallsBackOnItsKeysDefault) {
  for (std::string bad : {"A6", "Letterx", "100x", "x200", "100x200x300", "-100x200", "0x200",
                          "200x0.0001", "100,200", "1e3x200", ".x1", "100000.001x1",
                          "99999999999999999999999999x1"})
    Check(Read("paper=" + bad + "\nmargins=1"), {bad.c_str(), 208, 295, 4913, 6968});
  for (std::string bad : {"0", "-600", "600x", "x600", "100001", "600.5", "600x0", "600,600",
                          "99999999999999999999999"})
    Check(Read("paper=Letter\nresolution=" + bad), {bad.c_str(), 215, 279, 5100, 6600});
  for (std::string bad : {"5,10", "5,10,15", "5,10,15,20,25", "5,,10,15", "5,10,15,", "-5",
                          "1 2", "100000.001"})
    Check(Read("paper=A5\nmargins=" + bad), {bad.c_str(), 148, 210, 3496, 4960});
  Check(Read("horzsize=-5\nvertsize=2147483648\nhorzres=12a\nvertres=1.5\ncodepage=0"),
        {"overrides", 210, 297, 4960, 7015});
  for (std::string bad : {"65536", "cp1250", "-1250"})
    Check(Read("codepage=" + bad), {bad.c_str(), 210, 297, 4960, 7015});
}

TEST(MicrometresToPixels, CutsDownAndSaturates) {
  const int32_t most = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(MicrometresToPixels(25399, 1), 0);
  EXPECT_EQ(MicrometresToPixels(-1, 600) + MicrometresToPixels(25400, -600), 0);
  EXPECT_EQ(MicrometresToPixels(std::numeric_limits<int64_t>::max(), most), most);
  EXPECT_EQ(MicrometresToPixels(int64_t{most} * 25400 + 25400, 1), most);
}

}  // namespace
}  // namespace tolvane
