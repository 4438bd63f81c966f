// Which shared libraries a job brings into the process, and what a job does
// when one it needs cannot be loaded.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host.h"

namespace {

using LazyLibraries = HostTest;

const char ProfileWithPaper[] =
    "[windows]\n"
    "device=Trace,TRACE,job.trace\n"
    "[Devices]\n"
    "Trace=TRACE,job.trace\n"
    "Paper=PDF,job.pdf\n"
    "Picture=SVG,job.svg\n";

// The loader's own account of the files it opened for the program.
bool Loaded(const std::string& loaderLog, const std::string& library) {
  return loaderLog.find("file=" + library + " [") != std::string::npos;
}

TEST_F(LazyLibraries, AJobLoadsOnlyWhatItsDriverUses) {
  struct Case {
    const char* printer;
    std::vector<std::string> loaded, notLoaded;
  } cases[] = {
      {"Trace",
       {},
       {"libcups.so.2", "libcairo.so.2", "libfontconfig.so.1", "libfreetype.so.6", "libstb.so.0"}},
      // fontconfig (which brings FreeType) only until its answers are kept;
      // the PDF writer reads a TrueType face from its own tables.
      {"Paper",
       {"libfontconfig.so.1", "libfreetype.so.6", "libdeflate.so.0"},
       {"libcups.so.2", "libcairo.so.2", "libstb.so.0"}},
      {"Paper",
       {"libdeflate.so.0"},
       {"libcups.so.2", "libcairo.so.2", "libstb.so.0", "libfontconfig.so.1", "libfreetype.so.6"}},
      {"Picture", {"libcairo.so.2", "libfontconfig.so.1", "libfreetype.so.6"}, {"libcups.so.2"}},
  };
  WriteSystemProfile(ProfileWithPaper);
  WriteFile("report.txt", "AB\r\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    WriteConfiguration(std::string("[preferences]\nprinter=") + c.printer + "\n");
    setenv("LD_DEBUG", "files", 1);
    TJobResult job = Run({"report.txt", "1"});
    unsetenv("LD_DEBUG");
    EXPECT_EQ(job.ExitCode, 0);
    for (const std::string& library : c.loaded) EXPECT_TRUE(Loaded(job.Errors, library)) << library;
    for (const std::string& library : c.notLoaded)
      EXPECT_FALSE(Loaded(job.Errors, library)) << library;
  }
}

TEST_F(LazyLibraries, ALibraryThatCannotBeLoadedIsNamedAndTheJobGoesTheUsualWay) {
  struct Case {
    const char* why;
    const char* printer;
    const char* brokenLibrary;
    int exitCode;
    const char* diagnostic;  // empty: nothing said
  } cases[] = {
      {"a cairo driver without cairo opens no printer", "Picture", "libcairo.so.2", 2,
       "tolvane: cannot load libcairo.so.2"},
      {"the PDF writer never needs cairo", "Paper", "libcairo.so.2", 0, ""},
      {"a PDF job without fontconfig or kept answers opens no printer", "Paper",
       "libfontconfig.so.1", 2, "tolvane: cannot load libfontconfig.so.1"},
      {"a file driver without FreeType opens no printer", "Picture", "libfreetype.so.6", 2,
       "tolvane: cannot load libfreetype.so.6"},
      {"with its answers kept, the PDF writer reads TrueType faces without FreeType", "Paper",
       "libfreetype.so.6", 0, ""},
      {"the trace driver never needs cairo", "Trace", "libcairo.so.2", 0, ""},
      {"a printer the profile names never needs CUPS", "Trace", "libcups.so.2", 0, ""},
      {"without CUPS an unnamed printer falls back to the built-in ones", "PDF", "libcups.so.2", 0,
       "tolvane: cannot load libcups.so.2"},
  };
  WriteSystemProfile(ProfileWithPaper);
  WriteFile("report.txt", "AB\r\n");
  std::filesystem::create_directories(PathOf("broken"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteConfiguration(std::string("[preferences]\nprinter=") + c.printer + "\n");
    std::filesystem::remove_all(CacheHome());  // no font answers kept
    // The loader searches this directory first and finds no library there.
    setenv("LD_LIBRARY_PATH", PathOf("broken").c_str(), 1);
    if (std::string(c.why).starts_with("with its answers kept")) Run({"report.txt", "1"});
    WriteFile(std::string("broken/") + c.brokenLibrary, "not a library\n");
    TJobResult job = Run({"report.txt", "1"});
    unsetenv("LD_LIBRARY_PATH");
    std::remove(PathOf(std::string("broken/") + c.brokenLibrary).c_str());
    EXPECT_EQ(job.ExitCode, c.exitCode);
    if (c.diagnostic[0] != '\0')
      EXPECT_NE(job.Errors.find(c.diagnostic), std::string::npos) << job.Errors;
    else
      EXPECT_EQ(job.Errors.find("cannot load"), std::string::npos) << job.Errors;
  }
}

}  // namespace
