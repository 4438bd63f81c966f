// The warning box on a console and through a dialog program, and the rest of
// what the program takes from its environment at start.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

const char* const HungarianText = "Hiba t\xF6rt\xE9nt a LOGO nyomtat\xE1sakor!";
const char* const HungarianUtf8 = "Hiba történt a LOGO nyomtatásakor!";

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class ConsoleWarning : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "PATH"}) Save(name);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    UseLocale("C.UTF-8");
    char pattern[] = "/tmp/tolvane_warning_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
  }

  void TearDown() override {
    for (auto& [name, value] : Saved) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
    InitializePlatform();
    std::filesystem::remove_all(Dir);
  }

  void Save(const char* name) {
    const char* value = getenv(name);
    Saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
  }

  static void UseLocale(const char* locale) {
    setenv("LC_ALL", locale, 1);
    InitializePlatform();
  }

  // Runs `action` with file descriptor 2 sent to a file; returns what it got.
  std::string CaptureStderr(const std::function<void()>& action) {
    std::string path = Dir + "/stderr.txt";
    std::fflush(stderr);
    int saved = dup(2);
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(file, 0);
    dup2(file, 2);
    close(file);
    action();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return Slurp(path);
  }

  // A stand-in for zenity that records its arguments once it has finished.
  void InstallFakeZenity(const std::string& script, mode_t mode = 0755) {
    std::string path = Dir + "/zenity";
    std::ofstream(path) << script;
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
    setenv("PATH", ("::" + Dir + "/missing:" + Dir).c_str(), 1);
  }

  std::string FakeZenityLogging() {
    return "#!/bin/sh\necho noise; echo noise >&2\n/bin/sleep 0.2\nprintf '%s\\n' \"$@\" > " + Dir +
           "/args.txt\n";
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
  std::string Dir;
};

TEST_F(ConsoleWarning, WarningAndDetailInTheTerminalCharset) {
  std::string written = CaptureStderr([] {
    EXPECT_EQ(MessageBoxA(nullptr, HungarianText, "Figyelem!", MB_OK | MB_ICONWARNING), 1);
    ReportFailureDetail("Bad\tbyte\x1b[31m\x7F end \xF5\r\n");
  });
  EXPECT_EQ(written, std::string("Figyelem!: ") + HungarianUtf8 + "\nBad?byte?[31m? end ő??\n");
}

TEST_F(ConsoleWarning, UnconvertibleTextIsWrittenAsItIs) {
  UseLocale("C");
  std::string written = CaptureStderr([] {
    MessageBoxA(nullptr, HungarianText, "Figyelem!", MB_OK);
    MessageBoxA(nullptr, "a\x81z \xF6", nullptr, MB_OK);
    MessageBoxA(nullptr, nullptr, "T", MB_OK);
  });
  EXPECT_EQ(written, "Figyelem!: Hiba t?rt?nt a LOGO nyomtat?sakor!\n: a\x81z \xF6\nT: \n");
}

TEST_F(ConsoleWarning, DialogInAGraphicalSession) {
  InstallFakeZenity(FakeZenityLogging());
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    unsetenv("DISPLAY");
    setenv(variable, ":99", 1);
    std::filesystem::remove(Dir + "/args.txt");
    std::string written = CaptureStderr([] {
      EXPECT_EQ(MessageBoxA(nullptr, HungarianText, "Figyelem!", MB_OK), 1);
      ReportFailureDetail("not for the console");
    });
    EXPECT_EQ(written, "") << variable;
    EXPECT_EQ(Slurp(Dir + "/args.txt"),
              std::string("--warning\n--no-markup\n--title=Figyelem!\n--text=") + HungarianUtf8 +
                  "\n")
        << variable;
    unsetenv(variable);
  }
}

TEST_F(ConsoleWarning, ConsoleWhenNoDialogCanBeShown) {
  struct Case {
    const char* What;
    std::string Script;
    mode_t Mode;
    const char* Display;
  } cases[] = {
      {"empty DISPLAY", FakeZenityLogging(), 0755, ""},
      {"zenity not executable", FakeZenityLogging(), 0644, ":99"},
      {"zenity cannot start", "#!/nonexistent/interpreter\n", 0755, ":99"},
  };
  for (const Case& c : cases) {
    InstallFakeZenity(c.Script, c.Mode);
    setenv("DISPLAY", c.Display, 1);
    std::string written = CaptureStderr([] {
      MessageBoxA(nullptr, "text", "caption", MB_OK);
      ReportFailureDetail("detail");
    });
    EXPECT_EQ(written, "caption: text\ndetail\n") << c.What;
  }
  setenv("PATH", (Dir + "/nowhere").c_str(), 1);
  std::string written = CaptureStderr([] { MessageBoxA(nullptr, "t", "c", MB_OK); });
  EXPECT_EQ(written, "c: t\n");
  EXPECT_FALSE(std::filesystem::exists(Dir + "/args.txt"));
}

TEST_F(ConsoleWarning, PlatformStartLeavesTheCLocale) {
  UseLocale("C.UTF-8");
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
  EXPECT_EQ(GetUserDecimalSeparator(), '.');
  UseLocale("no_SUCH.locale");
  EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
  EXPECT_EQ(GetUserDecimalSeparator(), '.');
  EXPECT_EQ(PathSeparator(), '/');
}

TEST(PlatformEnvironment, ArgumentsSkipEmptyOnes) {
  char program[] = "tolvane", empty[] = "", file[] = "a b.prn", first[] = "1";
  char* argv[] = {program, empty, file, empty, first, nullptr};
  EXPECT_EQ(GetArguments(5, argv), (std::vector<std::string>{"a b.prn", "1"}));
  EXPECT_TRUE(GetArguments(1, argv).empty());
  EXPECT_TRUE(GetArguments(0, argv).empty());
}

TEST(PlatformEnvironment, ProgramPathIsTheRunningFile) {
  std::string path = GetProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path[0], '/');
  EXPECT_EQ(std::filesystem::canonical("/proc/self/exe").string(), path);
}

TEST(PlatformEnvironment, OnlyFilesOpenForReading) {
  char pattern[] = "/tmp/tolvane_open_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  std::string dir = pattern;
  std::ofstream(dir + "/job.prn", std::ios::binary) << "AB\xF6";
  std::FILE* file = OpenForSharedRead((dir + "/job.prn").c_str());
  ASSERT_NE(file, nullptr);
  char bytes[4] = {};
  EXPECT_EQ(std::fread(bytes, 1, 4, file), 3u);
  EXPECT_STREQ(bytes, "AB\xF6");
  std::fclose(file);
  EXPECT_EQ(OpenForSharedRead(dir.c_str()), nullptr);
  EXPECT_EQ(OpenForSharedRead((dir + "/missing.prn").c_str()), nullptr);
  EXPECT_EQ(OpenForSharedRead((dir + "/" + std::string(100000, 'x')).c_str()), nullptr);
  EXPECT_EQ(OpenForSharedRead(nullptr), nullptr);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolvane
