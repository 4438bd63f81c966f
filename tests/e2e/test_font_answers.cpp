// Once a job has asked fontconfig for its faces, the next ones take them
// from the cache of its answers: the same document without fontconfig, and
// the new face as soon as the configuration names another.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
  // The fonts of the job's document as pdffonts lists them (the font
  // dictionaries are packed in compressed object streams).
  std::string PrintedFonts(bool& askedFontconfig) {
    Print(askedFontconfig);
    std::string listing;
    if (FILE* pipe = popen(("pdffonts '" + PathOf("job.pdf") + "'").c_str(), "r")) {
      char buffer[512];
      for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) listing.append(buffer, got);
      pclose(pipe);
    }
    return listing;
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
  EXPECT_EQ(Print(asked), first);
  EXPECT_FALSE(asked);
  // A damaged cache is asked around, silently (Print checks that).
  std::ofstream(CacheFile(), std::ios::binary) << "tolvane font answers 1\n\x01\xff";
  EXPECT_EQ(Print(asked), first);
  EXPECT_TRUE(asked);
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
  EXPECT_NE(PrintedFonts(asked).find("+DejaVuSansMono"), std::string::npos);
  EXPECT_TRUE(asked);
  EXPECT_NE(PrintedFonts(asked).find("+DejaVuSansMono"), std::string::npos);
  EXPECT_FALSE(asked);
  WriteOld("fontconfig/fonts.conf", configuration("Liberation Mono"), 1);
  std::string document = PrintedFonts(asked);
  unsetenv("FONTCONFIG_FILE");
  EXPECT_TRUE(asked);
  EXPECT_NE(document.find("+LiberationMono"), std::string::npos);
  EXPECT_EQ(document.find("DejaVu"), std::string::npos);
}

}  // namespace
