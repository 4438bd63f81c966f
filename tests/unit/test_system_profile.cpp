// The system printer profile: where its answers come from and in what order.
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

std::string Read(const char* section, const char* key) {
  char buffer[128];
  DWORD count = GetProfileStringA(section, key, "dflt", buffer, sizeof buffer);
  EXPECT_EQ(count, std::strlen(buffer));
  return buffer;
}

TEST(SystemProfile, FileThenBuiltInPrinters) {
  const char* saved = getenv("TOLVANE_SYSTEM_PROFILE");
  std::string restore = saved != nullptr ? saved : "";
  char pattern[] = "/tmp/tolvane_system_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern, path = dir + "/system.ini";
  setenv("TOLVANE_SYSTEM_PROFILE", path.c_str(), 1);
  // No scheduler answers on this port, so the machine's own CUPS queues
  // cannot stand in for the built-in printers.
  setenv("CUPS_SERVER", "127.0.0.1:1", 1);

  const char* builtIn[][3] = {
      {"DEVICES", "pdf", "PDF,tolvane.pdf"},  {"devices", "TRACE", "TRACE,tolvane.trace"},
      {"Windows", "DEVICE", "PDF,PDF,tolvane.pdf"}, {"windows", "other", "dflt"},
      {"Devices", "PDFX", "dflt"},            {"Device", "PDF", "dflt"},
      {"Trace", "Trace", "dflt"},             {"PDF", "horzres", "dflt"},
  };
  for (auto& c : builtIn) EXPECT_EQ(Read(c[0], c[1]), c[2]) << c[0] << "/" << c[1];
  EXPECT_EQ(Read(nullptr, "PDF"), "dflt");
  EXPECT_EQ(Read("Devices", nullptr), "dflt");

  std::ofstream(path) << "[devices]\npdf = MYPDF,out.pdf\nLaser=CUPS,ipp://h/l\nTrace=\n"
                         "[WINDOWS]\nDevice=Laser,CUPS,ipp://h/l\n[Trace]\nhorzres=2400\n";
  const char* fromFile[][3] = {
      {"Devices", "PDF", "MYPDF,out.pdf"},    {"Devices", "laser", "CUPS,ipp://h/l"},
      {"Devices", "Trace", "TRACE,tolvane.trace"},  // empty in the file
      {"windows", "device", "Laser,CUPS,ipp://h/l"}, {"trace", "HORZRES", "2400"},
  };
  for (auto& c : fromFile) EXPECT_EQ(Read(c[0], c[1]), c[2]) << c[0] << "/" << c[1];

  std::ofstream(dir + "/other.ini") << "[windows]\ndevice=Other,PDF,b.pdf\n";
  setenv("TOLVANE_SYSTEM_PROFILE", (dir + "/other.ini").c_str(), 1);
  EXPECT_EQ(Read("windows", "device"), "Other,PDF,b.pdf");

  if (saved != nullptr) {
    setenv("TOLVANE_SYSTEM_PROFILE", restore.c_str(), 1);
  } else {
    unsetenv("TOLVANE_SYSTEM_PROFILE");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolvane
