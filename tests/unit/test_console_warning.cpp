// The warning box on a console and through a dialog program, and the rest of
// what the program takes from its surroundings at start.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "os/win32.h"

namespace tolvane {
namespace {

const char* const Hungarian = "Hiba t\xF6rt\xE9nt a LOGO nyomtat\xE1sakor!";
const std::string HungarianUtf8 = "Hiba történt a LOGO nyomtatásakor!";

std::string Slurp(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class ConsoleWarning : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "PATH"}) {
      const char* value = getenv(name);
      Saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    UseLocale("C.UTF-8");
    char pattern[] = "/tmp/tolvane_warning_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
  }
  void TearDown() override {
    for (auto& [name, value] : Saved) {
      value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
    InitializePlatform();
    std::filesystem::remove_all(Dir);
  }
  static void UseLocale(const char* locale) {
    setenv("LC_ALL", locale, 1);
    InitializePlatform();
  }
  // Shows the warning and its detail with descriptor 2 sent to a file.
  std::string Warn(const char* text, const char* caption, const std::string& detail) {
    std::string path = Dir + "/stderr.txt";
    int saved = dup(2), file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, 2);
    close(file);
    EXPECT_EQ(MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONWARNING), 1);
    ReportFailureDetail(detail);
    dup2(saved, 2);
    close(saved);
    return Slurp(path);
  }
  // A stand-in for zenity that writes its arguments only once it has waited.
  void InstallZenity(const std::string& firstLine, mode_t mode) {
    std::ofstream(Dir + "/zenity") << firstLine << "\necho noise; echo noise >&2\n"
                                   << "/bin/sleep 0.2\nprintf '%s\\n' \"$@\" >" << Dir << "/args\n";
    ASSERT_EQ(chmod((Dir + "/zenity").c_str(), mode), 0);
    setenv("PATH", ("::" + Dir + "/missing:" + Dir).c_str(), 1);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> Saved;
  std::string Dir;
};

TEST_F(ConsoleWarning, LinesInTheTerminalCharset) {
  EXPECT_EQ(Warn(Hungarian, "Figyelem!", "Bad\tbyte\x1b[31m\x7F \xF5\r\n"),
            "Figyelem!: " + HungarianUtf8 + "\nBad?byte?[31m? ő??\n");
  EXPECT_EQ(Warn("a\x81z \xF6", nullptr, "\x81"), ": a\x81z \xF6\n\x81\n");  // no such CP1250 byte
  UseLocale("C");
  EXPECT_EQ(Warn(Hungarian, "Figyelem!", ""), "Figyelem!: Hiba t?rt?nt a LOGO nyomtat?sakor!\n\n");
}

TEST_F(ConsoleWarning, DialogInAGraphicalSession) {
  InstallZenity("#!/bin/sh", 0755);
  for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    setenv(variable, ":99", 1);
    EXPECT_EQ(Warn(Hungarian, "Figyelem!", "detail"), "") << variable;
    EXPECT_EQ(Slurp(Dir + "/args"),
              "--warning\n--no-markup\n--title=Figyelem!\n--text=" + HungarianUtf8 + "\n");
    unsetenv(variable);
    std::filesystem::remove(Dir + "/args");
  }
}

TEST_F(ConsoleWarning, ConsoleWhenNoDialogCanBeShown) {
  struct { const char* FirstLine; mode_t Mode; const char* Display; } cases[] = {
      {"#!/bin/sh", 0755, ""},                       // no graphical session
      {"#!/bin/sh", 0644, ":99"},                    // zenity not executable
      {"#!/nonexistent/interpreter", 0755, ":99"},  // zenity cannot start
  };
  for (auto& c : cases) {
    InstallZenity(c.FirstLine, c.Mode);
    setenv("DISPLAY", c.Display, 1);
    EXPECT_EQ(Warn("text", "caption", "detail"), "caption: text\ndetail\n") << c.FirstLine;
  }
  setenv("PATH", "/nonexistent", 1);
  EXPECT_EQ(Warn("t", "c", "d"), "c: t\nd\n");
  EXPECT_FALSE(std::filesystem::exists(Dir + "/args"));
}

// A dialog that could not be shown (a stale display, a crash) must not take
// the warning with it; one the user closed has been seen.
TEST_F(ConsoleWarning, DialogThatFailsFallsBackToTheConsole) {
  struct { const char* Script; bool Seen; } cases[] = {
      {"#!/bin/sh\necho 'cannot open display: :99' >&2; exit 1", false},
      {"#!/bin/sh\nexit 255", false},
      {"#!/bin/sh\nkill -9 $$", false},
      {"#!/bin/sh\nexit 1", true},   // closed without OK
      {"#!/bin/sh\necho gtk noise >&2; exit 0", true},
  };
  setenv("DISPLAY", ":99", 1);
  for (auto& c : cases) {
    InstallZenity(c.Script, 0755);
    EXPECT_EQ(Warn("text", "caption", "detail"), c.Seen ? "" : "caption: text\ndetail\n")
        << c.Script;
  }
}

TEST_F(ConsoleWarning, DetailGoesIntoTheDialogAndBelowTheConsoleLine) {
  InstallZenity("#!/bin/sh", 0755);
  setenv("DISPLAY", ":99", 1);
  SetWarningDetail("report.txt, line 3: bad\x1b");
  EXPECT_EQ(Warn("text", "caption", ""), "");
  EXPECT_EQ(Slurp(Dir + "/args"),
            "--warning\n--no-markup\n--title=caption\n--text=text\n\nreport.txt, line 3: bad?\n");
  // Shown once: the next warning carries none.
  std::filesystem::remove(Dir + "/args");
  EXPECT_EQ(Warn("text", "caption", ""), "");
  EXPECT_EQ(Slurp(Dir + "/args"), "--warning\n--no-markup\n--title=caption\n--text=text\n");
  unsetenv("DISPLAY");
  SetWarningDetail("the place");
  EXPECT_EQ(Warn("text", "caption", ""), "caption: text\nthe place\n\n");
}

TEST_F(ConsoleWarning, StartLeavesTheCLocaleAndRefusesDirectories) {
  for (const char* locale : {"C.UTF-8", "no_SUCH.locale"}) {
    UseLocale(locale);
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C") << locale;
    EXPECT_EQ(GetUserDecimalSeparator(), '.') << locale;
  }
  std::ofstream(Dir + "/job.prn") << "AB";
  std::FILE* file = OpenForSharedRead((Dir + "/job.prn").c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fgetc(file), 'A');
  std::fclose(file);
  for (std::string bad : {Dir, Dir + "/missing", Dir + "/" + std::string(100000, 'x')}) {
    EXPECT_EQ(OpenForSharedRead(bad.c_str()), nullptr) << bad.substr(0, 60);
  }
}

}  // namespace
}  // namespace tolvane
