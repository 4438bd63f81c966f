// Once a job has asked fontconfig for its faces, the next ones take them
// from the cache of its answers: the same document without fontconfig, and
// the new face as soon as the configuration names another.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host.h"

namespace {

namespace fs = std::filesystem;

class FontAnswers : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteSystemProfile("[Devices]\nPaper=PDF,job.pdf\n");
    WriteFile("report.txt", "Plain \x1b" "Bbold\r\n");
  }
  void UseFace(const std::string& face) {
    WriteConfiguration("[preferences]\nprinter=Paper\nfont=" + face + "\n[sequences]\nB=BOLD:1\n");
  }
  // The job's document, and whether it loaded fontconfig to print it.
  std::string Print(bool& askedFontconfig) {
    setenv("LD_DEBUG", "files", 1);
    TJobResult job = Run({"report.txt", "1"});
    unsetenv("LD_DEBUG");
    EXPECT_EQ(job.ExitCode, 0) << job.Errors;
    EXPECT_EQ(job.Errors.find("tolvane:"), std::string::npos) << job.Errors;
    askedFontconfig = job.Errors.find("file=libfontconfig.so.1 [") != std::string::npos;
    return ReadFile("job.pdf");
  }
  void WriteOld(const std::string& name, const std::string& bytes, int hoursAgo) {
    WriteFile(name, bytes);
    auto then = fs::file_time_type::clock::now() - std::chrono::hours(hoursAgo);
    fs::last_write_time(PathOf(name), then);
    fs::last_write_time(fs::path(PathOf(name)).parent_path(), then);
  }
  std::string CacheFile() const { return CacheHome() + "/tolvane/fonts"; }
};

TEST_F(FontAnswers, ASecondJobTakesItsFacesFromTheCacheAndPrintsTheSame) {
  UseFace("Courier New");
  bool asked = false;
  std::string first = Print(asked);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(fs::exists(CacheFile()));
  std::string second = Print(asked);
  EXPECT_FALSE(asked);
  EXPECT_EQ(second, first);
}

TEST_F(FontAnswers, ADamagedOrUnwritableCacheChangesNothingAndSaysNothing) {
  UseFace("Courier New");
  bool asked = false;
  std::string reference = Print(asked);
  std::ifstream file(CacheFile(), std::ios::binary);
  std::string valid((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(valid.empty());
  struct Case {
    const char* why;
    std::string cache;        // the cache file's bytes
    std::string cacheHome;    // empty: the test's own
  } cases[] = {
      {"damaged", "tolvane font answers 1\n\x01\x02\xff\n", ""},
      {"cut short", valid.substr(0, valid.size() / 2), ""},
      {"a file where the cache's directory would be", "", PathOf("report.txt")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    fs::create_directories(fs::path(CacheFile()).parent_path());
    std::ofstream(CacheFile(), std::ios::binary) << c.cache;
    if (!c.cacheHome.empty()) setenv("XDG_CACHE_HOME", c.cacheHome.c_str(), 1);
    EXPECT_EQ(Print(asked), reference);
    EXPECT_TRUE(asked);
    setenv("XDG_CACHE_HOME", CacheHome().c_str(), 1);
  }
}

TEST_F(FontAnswers, AChangedConfigurationGivesTheFaceItNowNames) {
  fs::create_directories(PathOf("fontconfig"));
  auto configuration = [](const char* family) {
    return std::string("<?xml version=\"1.0\"?>\n<fontconfig>\n"
                       "<include>/etc/fonts/fonts.conf</include>\n"
                       "<alias><family>Tolvane Alias</family><prefer><family>") +
           family + "</family></prefer></alias>\n</fontconfig>\n";
  };
  WriteOld("fontconfig/fonts.conf", configuration("DejaVu Sans Mono"), 2);
  setenv("FONTCONFIG_FILE", PathOf("fontconfig/fonts.conf").c_str(), 1);
  UseFace("Tolvane Alias");
  bool asked = false;
  EXPECT_NE(Print(asked).find("+DejaVuSansMono"), std::string::npos);
  EXPECT_TRUE(asked);
  EXPECT_NE(Print(asked).find("+DejaVuSansMono"), std::string::npos);
  EXPECT_FALSE(asked);
  WriteOld("fontconfig/fonts.conf", configuration("Liberation Mono"), 1);
  std::string document = Print(asked);
  unsetenv("FONTCONFIG_FILE");
  EXPECT_TRUE(asked);
  EXPECT_NE(document.find("+LiberationMono"), std::string::npos);
  EXPECT_EQ(document.find("DejaVu"), std::string::npos);
}

}  // namespace
