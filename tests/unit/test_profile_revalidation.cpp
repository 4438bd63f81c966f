// How soon an edit of a private profile is seen once a job revalidates its
// profiles at the start and at each sheet.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "os/linux/profile_file.h"
#include "os/win32.h"

namespace tolvane {
namespace {

enum TStep { Write1, Write2, Remove, Revalidate, Forget, Wait, Expect1, Expect2, ExpectNone };

std::string Read(const std::string& path) {
  char buffer[64];
  GetPrivateProfileStringA("s", "k", "none", buffer, sizeof buffer, path.c_str());
  return buffer;
}

TEST(ProfileRevalidation, EditsAreSeenFromTheNextSheet) {
  struct Case {
    const char* name;
    std::vector<TStep> steps;
  } cases[] = {
      {"before any job every lookup checks", {Write1, Expect1, Write2, Expect2, Remove, ExpectNone}},
      {"an edit during a sheet waits for the next",
       {Write1, Revalidate, Expect1, Write2, Expect1, Revalidate, Expect2}},
      {"a removed file answers until the next sheet",
       {Write1, Revalidate, Expect1, Remove, Expect1, Revalidate, ExpectNone}},
      {"a file that appears is seen from the next sheet",
       {Revalidate, ExpectNone, Write1, ExpectNone, Revalidate, Expect1}},
      {"a slow sheet sees the edit after a tenth of a second",
       {Write1, Revalidate, Expect1, Write2, Wait, Expect2}},
      {"a forgotten file is read again at once",
       {Write1, Revalidate, Expect1, Write2, Forget, Expect2, Remove, Forget, ExpectNone}},
  };
  char pattern[] = "/tmp/tolvane_revalidation_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckProfilesOnEveryLookup();
    // A new file for every case, so no case starts from another's cache.
    std::string path = std::string(pattern) + "/" + std::to_string(++number) + ".ini";
    for (TStep step : c.steps) {
      switch (step) {
        // The second text is longer, so the edit shows even within the
        // file system's time resolution.
        case Write1: std::ofstream(path, std::ios::trunc) << "[s]\nk=one\n"; break;
        case Write2: std::ofstream(path, std::ios::trunc) << "[s]\nk=two!!\n"; break;
        case Remove: std::remove(path.c_str()); break;
        case Revalidate: RevalidateProfiles(); break;
        case Forget: ForgetProfile(path); break;
        case Wait: std::this_thread::sleep_for(std::chrono::milliseconds(150)); break;
        case Expect1: EXPECT_EQ(Read(path), "one"); break;
        case Expect2: EXPECT_EQ(Read(path), "two!!"); break;
        case ExpectNone: EXPECT_EQ(Read(path), "none"); break;
      }
    }
  }
  CheckProfilesOnEveryLookup();
  std::filesystem::remove_all(pattern);
}

}  // namespace
}  // namespace tolvane
