// A device test that runs in a directory of its own, with a system printer
// profile of its own, and a device layer as fresh as at program start
// (contexts numbered from DC1, fonts from F1).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "device/device.h"

class DeviceScratchTest : public ::testing::Test {
 protected:
  // Makes the directory, enters it and writes system.ini there.
  void EnterScratch(const char* name, const std::string& systemProfile) {
    if (const char* saved = getenv("TOLVANE_SYSTEM_PROFILE")) Saved = saved;
    std::string pattern = "/tmp/" + std::string(name) + "_XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    Dir = pattern;
    Home = std::filesystem::current_path();
    std::filesystem::current_path(Dir);
    std::ofstream("system.ini") << systemProfile;
    setenv("TOLVANE_SYSTEM_PROFILE", (Dir / "system.ini").string().c_str(), 1);
    tolvane::ResetDeviceLayer();
  }

  void TearDown() override {
    tolvane::ResetDeviceLayer();
    if (Saved)
      setenv("TOLVANE_SYSTEM_PROFILE", Saved->c_str(), 1);
    else
      unsetenv("TOLVANE_SYSTEM_PROFILE");
    if (Dir.empty()) return;
    std::filesystem::current_path(Home);
    std::filesystem::remove_all(Dir);
  }

  std::optional<std::string> Saved;
  std::filesystem::path Home, Dir;
};
