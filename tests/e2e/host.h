// Runs the built program as a host application does: from a directory that
// holds a copy of the program and its tolvane.ini, with a system printer
// profile whose Trace printer records every device call.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <string>
#include <vector>

struct TJobResult {
  int ExitCode;         // -1 when the program did not end by itself
  std::string Trace;    // the recorded device calls; empty when none
  bool TraceWritten;
  std::string Errors;   // what the program wrote to standard error
  std::string Output;   // what it wrote to standard output
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Files of the job's directory (the print file, tolvane.ini, logos, ...).
  void WriteFile(const std::string& name, const std::string& bytes);
  std::string ReadFile(const std::string& name) const;
  bool FileExists(const std::string& name) const;
  std::string PathOf(const std::string& name) const { return directory_ + "/" + name; }
  // The jobs' XDG_CACHE_HOME, beside the job's directory.
  std::string CacheHome() const { return directory_ + ".cache"; }

  void WriteConfiguration(const std::string& text) { WriteFile("tolvane.ini", text); }
  void WriteSystemProfile(const std::string& text) { WriteFile("system.ini", text); }

  // Runs "tolvane arguments..." in the job's directory; the trace is read
  // from job.trace there. program names another file of the directory to
  // start (a link to the program under another name).
  TJobResult Run(const std::vector<std::string>& arguments,
                 const std::string& program = "tolvane");

  // A file of the job's directory that the program gets as standard input;
  // empty: the test's own.
  std::string standardInput_;

  // Starts the program as Run does, with NAME=VALUE entries added to its
  // environment, and returns at once; Wait takes its wait status (or -1
  // once it has run for `seconds`: it is killed then). Standard error goes
  // to stderr.txt of the job's directory.
  pid_t Start(const std::vector<std::string>& arguments,
              const std::vector<std::string>& environment);
  int Wait(pid_t job, int seconds);

  std::string directory_;
};

// The system printer profile of the worked examples: the Trace printer is
// the default, on a device of 2400 x 3390 pixels on 203 x 287 mm.
extern const char TraceSystemProfile[];

// The lines of a trace that open the job on that device and start the
// document.
std::string TraceOpening();

// One CreateFontIndirectA line.
std::string FontLine(int height, int width, int escapement, int weight, const std::string& face,
                     int handle);

// What the console shows for the job's failure warning (the detail line of
// the failure follows it) and for a logo file that cannot be opened.
extern const char FailureWarning[];
extern const char MissingLogoWarning[];

// The trace of a stream's start on the example device, up to its first
// page: the opening, the first job font of 36 x 24 tenths (F1) and the
// transparent background.
std::string TraceStreamStart(const std::string& face);

// A page begun while the job font F<oldFont> is selected: the font is built
// again as F<newFont>, upright at 36 x 24 tenths.
std::string TracePageStart(int oldFont, int newFont, const std::string& face);

// The end of a stream and of its document, F<font> being the job font.
std::string TraceClosing(int font);

// The trace's lines, and how many of them begin with prefix.
std::vector<std::string> TraceLines(const std::string& trace);
size_t CountTraceLines(const std::string& trace, const std::string& prefix);

// The arguments of the TextOutA lines ("X Y \"c\""), one list per sheet.
std::vector<std::vector<std::string>> SheetTexts(const std::string& trace);
