// The system printer profile: where its answers come from and in what order.
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

class SystemProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* saved = getenv("TOLVANE_SYSTEM_PROFILE");
    if (saved != nullptr) Saved = saved;
    char pattern[] = "/tmp/tolvane_system_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
    Path = Dir + "/system.ini";
    setenv("TOLVANE_SYSTEM_PROFILE", Path.c_str(), 1);
  }
  void TearDown() override {
    if (Saved) {
      setenv("TOLVANE_SYSTEM_PROFILE", Saved->c_str(), 1);
    } else {
      unsetenv("TOLVANE_SYSTEM_PROFILE");
    }
    std::filesystem::remove_all(Dir);
  }

  void Write(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  }

  static std::string Read(const char* section, const char* key) {
    char buffer[128];
    DWORD count = GetProfileStringA(section, key, "dflt", buffer, sizeof buffer);
    EXPECT_EQ(count, std::strlen(buffer));
    return buffer;
  }

  std::optional<std::string> Saved;
  std::string Dir;
  std::string Path;
};

struct Case {
  const char* Section;
  const char* Key;
  const char* Expected;
};

TEST_F(SystemProfile, BuiltInPrintersWhenTheFileIsMissing) {
  Case cases[] = {
      {"Devices", "PDF", "PDF,tolvane.pdf"},
      {"DEVICES", "pdf", "PDF,tolvane.pdf"},
      {"devices", "TRACE", "TRACE,tolvane.trace"},
      {"windows", "device", "PDF,PDF,tolvane.pdf"},
      {"Windows", "DEVICE", "PDF,PDF,tolvane.pdf"},
      {"windows", "other", "dflt"},
      {"Devices", "Laser", "dflt"},
      {"Devices", "PDFX", "dflt"},
      {"Devices", "PD", "dflt"},
      {"Devices", "", "dflt"},
      {"Device", "PDF", "dflt"},
      {"PDF", "horzres", "dflt"},
      {"Trace", "Trace", "dflt"},
      {nullptr, "PDF", "dflt"},
      {"Devices", nullptr, "dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.Section, c.Key), c.Expected)
        << (c.Section ? c.Section : "(null)") << "/" << (c.Key ? c.Key : "(null)");
  }
}

TEST_F(SystemProfile, FileComesBeforeTheBuiltIns) {
  Write(Path,
        "[devices]\n"
        "pdf = MYPDF,out.pdf\n"
        "Laser=CUPS,ipp://host/laser\n"
        "Trace=\n"
        "[WINDOWS]\n"
        "Device=Laser,CUPS,ipp://host/laser\n"
        "[Trace]\n"
        "horzres=2400\n");
  Case cases[] = {
      {"Devices", "PDF", "MYPDF,out.pdf"},
      {"Devices", "laser", "CUPS,ipp://host/laser"},
      {"Devices", "Trace", "TRACE,tolvane.trace"},  // empty in the file
      {"windows", "device", "Laser,CUPS,ipp://host/laser"},
      {"trace", "HORZRES", "2400"},
      {"Trace", "vertres", "dflt"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Read(c.Section, c.Key), c.Expected) << c.Section << "/" << c.Key;
  }
}

TEST_F(SystemProfile, FileNamedByTheEnvironmentIsFollowed) {
  std::string other = Dir + "/other.ini";
  Write(Path, "[windows]\ndevice=First,PDF,a.pdf\n");
  Write(other, "[windows]\ndevice=Second,PDF,b.pdf\n");
  EXPECT_EQ(Read("windows", "device"), "First,PDF,a.pdf");
  setenv("TOLVANE_SYSTEM_PROFILE", other.c_str(), 1);
  EXPECT_EQ(Read("windows", "device"), "Second,PDF,b.pdf");
  std::filesystem::remove(other);
  EXPECT_EQ(Read("windows", "device"), "PDF,PDF,tolvane.pdf");
}

TEST_F(SystemProfile, ResultIsCutToTheBuffer) {
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetProfileStringA("Devices", "Trace", "d", buffer, 6), 5u);
  EXPECT_STREQ(buffer, "TRACE");
  EXPECT_EQ(buffer[6], '#');
  EXPECT_EQ(GetProfileStringA("Devices", "Trace", "d", buffer, 1), 0u);
  EXPECT_STREQ(buffer, "");
  std::memcpy(buffer, "abc", 4);
  EXPECT_EQ(GetProfileStringA("Devices", "Trace", "d", buffer, 0), 0u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(GetProfileStringA("Devices", "none", nullptr, buffer, 8), 0u);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace tolvane
