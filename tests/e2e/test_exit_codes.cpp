// How a job ends: the exit codes, and what reaches the printer, the console
// and the trace on each way out.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "host.h"

namespace {

// The trace of a job whose document was started and then aborted before its
// stream began.
std::string AbortedBeforeTheStream() { return TraceOpening() + "AbortDoc\nDeleteDC\n"; }

std::string IntegerFailure(const std::string& run) {
  return std::string(FailureWarning) + "'" + run + "' is not a valid integer value\n";
}

std::string Joined(const std::vector<std::string>& arguments) {
  std::string text;
  for (const std::string& argument : arguments) text += "[" + argument + "]";
  return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The test printer profile with more printers in its Devices section.
std::string ProfileWithDevices(const std::string& entries) {
  return "[windows]\ndevice=Trace,TRACE,job.trace\n[Devices]\nTrace=TRACE,job.trace\n" + entries +
         "[Trace]\nhorzsize=203\nhorzres=2400\nvertsize=287\nvertres=3390\n";
}

}  // namespace

class ExitCodes : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    WriteFile("report.txt", "A");
  }
};

TEST_F(ExitCodes, FewerThanTwoArgumentsReadNothingAndPrintNothing) {
  // Were the configuration read, its broken conversion value would fail the
  // job with a warning and exit code 1.
  WriteConfiguration("[conversion]\n65=1-2\n");
  std::vector<std::vector<std::string>> cases = {
      {},
      {"report.txt"},
      {"", "1"},
      {"report.txt", ""},
      {"", "report.txt", ""},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(Joined(arguments));
    TJobResult job = Run(arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_EQ(job.Errors, "");
    EXPECT_EQ(job.Output, "");
  }
}

TEST_F(ExitCodes, HelpAndVersionAloneAnswerOnStandardOutput) {
  WriteConfiguration("[conversion]\n65=1-2\n");
  for (const char* request : {"--help", "--version"}) {
    SCOPED_TRACE(request);
    TJobResult job = Run({request});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_EQ(job.Errors, "");
    EXPECT_NE(job.Output, "");
    EXPECT_EQ(job.Output.back(), '\n');
  }
  EXPECT_NE(Run({"--version"}).Output.find("tolvane"), std::string::npos);
  EXPECT_NE(Run({"--help"}).Output.find("tolvane"), std::string::npos);
  // Beside other arguments they are print file names and pages like any.
  WriteConfiguration("");
  TJobResult job = Run({"--help", "1"});
  EXPECT_EQ(job.ExitCode, 55);
  EXPECT_EQ(job.Trace, AbortedBeforeTheStream());
  EXPECT_EQ(job.Output, "");
  job = Run({"--version", "--help"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_FALSE(job.TraceWritten);
  EXPECT_EQ(job.Errors, IntegerFailure("--"));
  EXPECT_EQ(job.Output, "");
}

TEST_F(ExitCodes, EmptyArgumentsAreSkippedWhereverTheyStand) {
  WriteFile("report.txt", "A\fB");
  TJobResult plain = Run({"report.txt", "2"});
  ASSERT_EQ(plain.ExitCode, 0);
  ASSERT_EQ(SheetTexts(plain.Trace), (std::vector<std::vector<std::string>>{{"0 0 \"B\""}}));
  std::vector<std::vector<std::string>> cases = {
      {"", "report.txt", "2"},
      {"report.txt", "", "2"},
      {"report.txt", "2", ""},
      {"", "", "report.txt", "", "2", ""},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(Joined(arguments));
    TJobResult job = Run(arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Trace, plain.Trace);
  }
}

TEST_F(ExitCodes, NoDeviceContextEndsWithCodeTwoAndNothingElse) {
  struct Case {
    const char* why;
    std::string systemProfile;
    std::string configuration;
    const char* mustNotExist;  // the output the printer would have made
  } cases[] = {
      {"unknown driver of the default printer",
       "[windows]\ndevice=Nowhere,NODRIVER,out.txt\n", "", "out.txt"},
      {"empty driver of the default printer", "[windows]\ndevice=Nowhere,,out.txt\n", "",
       "out.txt"},
      {"trace output that cannot be opened",
       "[windows]\ndevice=Trace,TRACE,missing/job.trace\n", "", "missing"},
      {"configured printer without a Devices entry", TraceSystemProfile,
       "[preferences]\nprinter=Ghost\n", "Ghost"},
      {"configured printer with an empty Devices entry",
       ProfileWithDevices("Ghost=\n"), "[preferences]\nprinter=Ghost\n",
       "Ghost"},
      {"configured printer with an unknown driver",
       "[Devices]\nGhost=NODRIVER,out.txt\n[windows]\ndevice=Trace,TRACE,job.trace\n",
       "[preferences]\nprinter=Ghost\n", "out.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteSystemProfile(c.systemProfile);
    WriteConfiguration(c.configuration);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 2);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_FALSE(FileExists(c.mustNotExist));
    EXPECT_EQ(job.Errors, "");
    EXPECT_EQ(job.Output, "");
  }
  // The printer is opened before the print file is looked for.
  TJobResult job = Run({"nothere.txt", "1"});
  EXPECT_EQ(job.ExitCode, 2);
  EXPECT_FALSE(job.TraceWritten);
}

TEST_F(ExitCodes, PrintersAreFoundByEveryRouteOfTheProfiles) {
  const std::string defaultName(102, 'd');
  const std::string configuredName(120, 'c');
  struct Case {
    const char* why;
    std::string systemProfile;
    std::string configuration;
    std::string traceFile;  // "-": standard output
    std::string opening;
  } cases[] = {
      {"a Devices entry of the driver alone is driver and port",
       ProfileWithDevices("Solo=TRACE\n"), "[preferences]\nprinter=Solo\n",
       "TRACE", "CreateDCA \"TRACE\" \"Solo\" \"TRACE\" -> DC1"},
      {"a default printer of a name alone is device, driver and port",
       "[windows]\ndevice=Trace\n", "", "Trace", "CreateDCA \"Trace\" \"Trace\" \"Trace\" -> DC1"},
      {"a configured name is looked up as written, without regard to case",
       "[windows]\ndevice=Nowhere,NODRIVER,out.txt\n[devices]\nsmall=trace,small.trace\n",
       "[preferences]\nprinter=SMALL\n", "small.trace",
       "CreateDCA \"trace\" \"SMALL\" \"small.trace\" -> DC1"},
      {"the built-in trace printer answers when the profile names none",
       "[windows]\ndevice=Nowhere,NODRIVER,out.txt\n", "[preferences]\nprinter=Trace\n",
       "tolvane.trace", "CreateDCA \"TRACE\" \"Trace\" \"tolvane.trace\" -> DC1"},
      {"a default printer name is cut to 100 characters",
       "[windows]\ndevice=" + defaultName + ",TRACE,-\n", "", "-",
       "CreateDCA \"TRACE\" \"" + defaultName.substr(0, 100) + "\" \"-\" -> DC1"},
      {"a configured printer name is cut to 100 characters before its lookup",
       ProfileWithDevices(configuredName + "=NODRIVER,out.txt\n" + configuredName.substr(0, 100) +
                          "=TRACE,job.trace\n"),
       "[preferences]\nprinter=" + configuredName + "\n", "job.trace",
       "CreateDCA \"TRACE\" \"" + configuredName.substr(0, 100) + "\" \"job.trace\" -> DC1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteSystemProfile(c.systemProfile);
    WriteConfiguration(c.configuration);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Errors, "");
    std::string trace = c.traceFile == "-" ? job.Output : ReadFile(c.traceFile);
    std::vector<std::string> lines = TraceLines(trace);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), c.opening);
    EXPECT_EQ(CountTraceLines(trace, "TextOutA "), 1u);
    EXPECT_TRUE(EndsWith(trace, "EndDoc\nDeleteDC\n"));
  }
}

TEST_F(ExitCodes, PrintFileThatCannotBeOpenedAbortsTheDocument) {
  // No command runs for a file that cannot be opened, the job-start
  // sequence included: this one would fail the job.
  WriteConfiguration("[sequences]\nC=FELM:-\n");
  mkdir(PathOf("folder").c_str(), 0700);
  for (const char* name : {"nothere.txt", ".", "folder/", "report.txt/"}) {
    SCOPED_TRACE(name);
    TJobResult job = Run({name, "1"});
    EXPECT_EQ(job.ExitCode, 55);
    EXPECT_EQ(job.Trace, AbortedBeforeTheStream());
    EXPECT_EQ(job.Errors, "");
    EXPECT_EQ(job.Output, "");
  }
}

TEST_F(ExitCodes, MalformedPageArgumentFailsBeforeAnyPrinterIsOpened) {
  struct Case {
    std::vector<std::string> arguments;
    std::string run;  // the text that the failure names
  } cases[] = {
      {{"report.txt", "-"}, "-"},
      {{"report.txt", "1-2"}, "1-2"},
      {{"report.txt", "12-3x"}, "12-3"},
      {{"report.txt", "--3"}, "--3"},
      {{"report.txt", "2147483648"}, "2147483648"},
      {{"report.txt", "-2147483649"}, "-2147483649"},
      {{"report.txt", "1", "7-"}, "7-"},
      {{"report.txt", "x", "+"}, "+"},
      // The pages are read before the print file is looked at.
      {{"nothere.txt", "-"}, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_EQ(job.Errors, IntegerFailure(c.run));
    EXPECT_EQ(job.Output, "");
  }
  // Before the printer too: a printer that cannot be opened is never tried.
  WriteSystemProfile("[windows]\ndevice=Nowhere,NODRIVER,out.txt\n");
  TJobResult job = Run({"report.txt", "1", "1-2"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_EQ(job.Errors, IntegerFailure("1-2"));
}

TEST_F(ExitCodes, PageArgumentsAtTheEdgesOfTheRangeAreNoFailure) {
  WriteFile("report.txt", "A\fB");
  struct Case {
    std::vector<std::string> arguments;
    size_t sheets;
  } cases[] = {
      {{"report.txt", "-2147483648", "2147483647"}, 2},
      {{"report.txt", "+0002", "0000000000000000000002"}, 1},
      {{"report.txt", "2147483647"}, 0},  // beyond the default last page
      {{"report.txt", "1", "-2147483648"}, 0},
      {{"report.txt", "2pages", "2nd"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_EQ(job.Errors, "");
    EXPECT_EQ(SheetTexts(job.Trace).size(), c.sheets);
    EXPECT_NE(job.Trace.find("EndDoc\nDeleteDC\n"), std::string::npos);
  }
}

TEST_F(ExitCodes, MalformedNumberInThePrintFileAbortsTheDocument) {
  WriteConfiguration("[sequences]\nF=FSIZ:36\nM=BALM:-\n");
  struct Case {
    const char* why;
    std::string report;
    std::vector<std::string> arguments;
    size_t startPages;
    std::string detail;
  } cases[] = {
      {"on page 3, while it is open", "one\ftwo\fthree\x1b" "F:1-2;four\fafter",
       {"report.txt", "1"}, 3, "'1-2' is not a valid floating point value"},
      {"on page 3, out of the range", "one\ftwo\fthree\x1b" "F:1-2;four\fafter",
       {"report.txt", "1", "2"}, 2, "'1-2' is not a valid floating point value"},
      {"an integer argument on a pending page", "one\f\x1bMtwo", {"report.txt", "1"}, 1,
       "'-' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteFile("report.txt", c.report);
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_EQ(job.Errors, std::string(FailureWarning) + c.detail + "\n");
    EXPECT_EQ(job.Output, "");
    EXPECT_EQ(CountTraceLines(job.Trace, "StartPage"), c.startPages);
    EXPECT_EQ(CountTraceLines(job.Trace, "EndDoc"), 0u);
    EXPECT_EQ(job.Trace.find("\"f\""), std::string::npos);  // nothing after the failure
    EXPECT_TRUE(EndsWith(job.Trace, "\nAbortDoc\nDeleteDC\n")) << job.Trace;
  }
  // The open page is aborted with the document, not ended, and the font of
  // the failed command is never built.
  WriteFile("report.txt", "one\ftwo\fthree\x1b" "F:1-2;four");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.Trace.substr(job.Trace.rfind("TextOutA")),
            "TextOutA 114 0 \"e\"\nAbortDoc\nDeleteDC\n");
  // Out of the range the last sheet was ended by its form feed.
  job = Run({"report.txt", "1", "2"});
  EXPECT_EQ(job.Trace.substr(job.Trace.rfind("TextOutA")),
            "TextOutA 57 0 \"o\"\nEndPage\nAbortDoc\nDeleteDC\n");
}

TEST_F(ExitCodes, FailureOfTheJobStartSequenceAbortsAnEmptyDocument) {
  WriteConfiguration("[sequences]\nC=FELM:-\n");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_EQ(job.Trace, AbortedBeforeTheStream());
  EXPECT_EQ(job.Errors, IntegerFailure("-"));
}

TEST_F(ExitCodes, ReadErrorOfThePrintFileAbortsTheDocument) {
  // The program's own memory file opens, but reading it from offset 0 fails.
  TJobResult job = Run({"/proc/self/mem", "1"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_EQ(job.Trace, TraceStreamStart("") + "AbortDoc\nDeleteDC\n");
  ASSERT_EQ(job.Errors.rfind(FailureWarning, 0), 0u) << job.Errors;
  EXPECT_EQ(TraceLines(job.Errors).size(), 2u) << job.Errors;
}

TEST_F(ExitCodes, DeviceOfZeroSizeIsAnArithmeticFailureBeforeTheDocument) {
  const std::string header = "[windows]\ndevice=Trace,TRACE,job.trace\n[Trace]\n";
  struct Case {
    std::string geometry;
    std::string trace;
  } cases[] = {
      {"horzsize=0\nhorzres=2400\nvertsize=287\nvertres=3390\n",
       "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\nGetDeviceCaps HORZSIZE -> 0\n"
       "GetDeviceCaps HORZRES -> 2400\nDeleteDC\n"},
      {"horzsize=0\nhorzres=0\nvertsize=287\nvertres=3390\n",
       "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\nGetDeviceCaps HORZSIZE -> 0\n"
       "GetDeviceCaps HORZRES -> 0\nDeleteDC\n"},
      {"horzsize=203\nhorzres=2400\nvertsize=0\nvertres=3390\n",
       "CreateDCA \"TRACE\" \"Trace\" \"job.trace\" -> DC1\nGetDeviceCaps HORZSIZE -> 203\n"
       "GetDeviceCaps HORZRES -> 2400\nGetDeviceCaps VERTSIZE -> 0\n"
       "GetDeviceCaps VERTRES -> 3390\nDeleteDC\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.geometry);
    WriteSystemProfile(header + c.geometry);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_EQ(job.Trace, c.trace);
    ASSERT_EQ(job.Errors.rfind(FailureWarning, 0), 0u) << job.Errors;
    EXPECT_EQ(TraceLines(job.Errors).size(), 2u) << job.Errors;
    EXPECT_EQ(job.Output, "");
  }
  // No pixels across is no failure: every position and width is 0.
  WriteSystemProfile(header + "horzsize=203\nhorzres=0\nvertsize=287\nvertres=3390\n");
  WriteFile("report.txt", "AB");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(SheetTexts(job.Trace),
            (std::vector<std::vector<std::string>>{{"0 0 \"A\"", "0 0 \"B\""}}));
}

TEST_F(ExitCodes, MissingConfigurationPrintsWithTheDefaults) {
  WriteFile("report.txt", "A\tB");
  std::string expected = TraceStreamStart("") + TracePageStart(1, 2, "") +
                         "TextOutA 0 0 \"A\"\nTextOutA 227 0 \"B\"\nEndPage\n" + TraceClosing(2);
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, expected);
  EXPECT_EQ(job.Errors, "");
  // A directory where the file would be is no configuration either.
  mkdir(PathOf("tolvane.ini").c_str(), 0700);
  job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 0);
  EXPECT_EQ(job.Trace, expected);
  EXPECT_EQ(job.Errors, "");
}
