// How a job ends: the exit codes, and what reaches the printer, the console
// and the trace on each way out.
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host.h"

namespace {

// The trace of a job whose document was started and then aborted before its
// stream began.
std::string AbortedBeforeTheStream() { return TraceOpening() + "AbortDoc\nDeleteDC\n"; }

// The warning's second line names where the malformed number stands.
std::string IntegerFailure(const std::string& place, const std::string& run) {
  return std::string(FailureWarning) + place + ": '" + run + "' is not a valid integer value\n";
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

TEST_F(ExitCodes, FewerThanTwoArgumentsReadNothingAndPrintOnlyAUsageLine) {
  // Were the configuration read, its broken conversion value would fail the
  // job with a warning and exit code 1.
  WriteConfiguration("[conversion]\n65=1-2\n");
  const std::string usage = "usage: tolvane FILE FIRST [LAST]";
  struct Case {
    std::vector<std::string> arguments;
    std::string said;
  } cases[] = {
      {{}, "tolvane: " + usage},
      {{"report.txt"},
       "tolvane: no page range for 'report.txt' (to print it all: tolvane report.txt 1); "},
      {{"", "1"}, "tolvane: no page range for '1'"},
      {{"report.txt", ""}, "tolvane: no page range for 'report.txt'"},
      {{"", "report.txt", ""}, "tolvane: no page range for 'report.txt'"},
      {{"--frobnicate"}, "tolvane: unknown option '--frobnicate'; " + usage},
      {{"-x"}, "tolvane: unknown option '-x'"},
      {{"-"}, "tolvane: no page range for '-'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 0);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_EQ(job.Errors.rfind(c.said, 0), 0u) << job.Errors;
    EXPECT_NE(job.Errors.find(usage), std::string::npos);
    EXPECT_EQ(std::count(job.Errors.begin(), job.Errors.end(), '\n'), 1);
    EXPECT_EQ(job.Output, "");
  }
}

TEST_F(ExitCodes, HelpAndVersionAloneAnswerOnStandardOutput) {
  WriteConfiguration("[conversion]\n65=1-2\n");
  for (const char* request : {"--help", "--version", "-h", "-V"}) {
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
  EXPECT_EQ(job.Errors, std::string(FailureWarning) +
                            "the first page argument '--help': '--' is not a valid integer value\n");
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

TEST_F(ExitCodes, NoDeviceContextEndsWithCodeTwoAndSaysWhy) {
  const std::string longName(120, 'c');
  struct Case {
    const char* why;
    std::string systemProfile;
    std::string configuration;
    const char* mustNotExist;  // the output the printer would have made
    std::vector<std::string> said;  // parts of the diagnostic
  } cases[] = {
      {"unknown driver of the default printer",
       "[windows]\ndevice=Nowhere,NODRIVER,out.txt\n", "", "out.txt",
       {"printer 'Nowhere'", "driver 'NODRIVER'", "PDF, PS, SVG, PNG, CUPS"}},
      {"empty driver of the default printer", "[windows]\ndevice=Nowhere,,out.txt\n", "",
       "out.txt", {"default printer 'Nowhere' is not known", "system.ini", "built-in printers"}},
      {"trace output that cannot be opened",
       "[windows]\ndevice=Trace,TRACE,missing/job.trace\n", "", "missing",
       {"printer 'Trace'", "'missing/job.trace'", "No such file or directory"}},
      {"configured printer without a Devices entry", TraceSystemProfile,
       "[preferences]\nprinter=Ghost\n", "Ghost",
       {"no printer 'Ghost'", "tolvane.ini", "system.ini", "CUPS"}},
      {"configured printer with an empty Devices entry",
       ProfileWithDevices("Ghost=\n"), "[preferences]\nprinter=Ghost\n",
       "Ghost", {"no printer 'Ghost'"}},
      {"configured printer with an unknown driver",
       "[Devices]\nGhost=NODRIVER,out.txt\n[windows]\ndevice=Trace,TRACE,job.trace\n",
       "[preferences]\nprinter=Ghost\n", "out.txt", {"printer 'Ghost'", "driver 'NODRIVER'"}},
      {"a default printer entry that fills its buffer may have been cut",
       "[windows]\ndevice=" + std::string(102, 'd') + ",TRACE,-\n", "", "-",
       {"default printer's entry is too long"}},
      {"a configured printer name that fills its buffer may have been cut",
       ProfileWithDevices(longName.substr(0, 100) + "=TRACE,job.trace\n"),
       "[preferences]\nprinter=" + longName + "\n", "job.trace",
       {"printer= in", "tolvane.ini", "may have been cut"}},
      {"an output path that fills the Devices entry may have been cut",
       ProfileWithDevices("Long=TRACE," + std::string(110, 'p') + "\n"),
       "[preferences]\nprinter=Long\n", "ppppp", {"printer 'Long'", "may have been cut"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    WriteSystemProfile(c.systemProfile);
    WriteConfiguration(c.configuration);
    TJobResult job = Run({"report.txt", "1"});
    EXPECT_EQ(job.ExitCode, 2);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_FALSE(FileExists(c.mustNotExist));
    EXPECT_EQ(job.Output, "");
    EXPECT_EQ(job.Errors.rfind("tolvane: ", 0), 0u) << job.Errors;
    for (const std::string& part : c.said)
      EXPECT_NE(job.Errors.find(part), std::string::npos) << part;
  }
  // The printer is opened before the print file is looked for.
  TJobResult job = Run({"nothere.txt", "1"});
  EXPECT_EQ(job.ExitCode, 2);
  EXPECT_FALSE(job.TraceWritten);
}

TEST_F(ExitCodes, PrintersAreFoundByEveryRouteOfTheProfiles) {
  const std::string defaultName(99, 'd');
  const std::string configuredName(99, 'c');
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
      {"a default printer name of 99 characters is kept whole",
       "[windows]\ndevice=" + defaultName + ",TRACE,-\n", "", "-",
       "CreateDCA \"TRACE\" \"" + defaultName + "\" \"-\" -> DC1"},
      {"a configured printer name of 99 characters is looked up whole",
       ProfileWithDevices(configuredName + "=TRACE,job.trace\n"),
       "[preferences]\nprinter=" + configuredName + "\n", "job.trace",
       "CreateDCA \"TRACE\" \"" + configuredName + "\" \"job.trace\" -> DC1"},
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
    std::string said = std::string("tolvane: cannot open the print file '") + name + "' in " +
                       directory_ + ": ";
    EXPECT_EQ(job.Errors.rfind(said, 0), 0u) << job.Errors;
    EXPECT_EQ(job.Output, "");
  }
}

TEST_F(ExitCodes, MalformedPageArgumentFailsBeforeAnyPrinterIsOpened) {
  struct Case {
    std::vector<std::string> arguments;
    std::string place;  // where the warning says the failure stands
    std::string run;    // the text that the failure names
  } cases[] = {
      {{"report.txt", "-"}, "the first page argument '-'", "-"},
      {{"report.txt", "1-2"}, "the first page argument '1-2'", "1-2"},
      {{"report.txt", "12-3x"}, "the first page argument '12-3x'", "12-3"},
      {{"report.txt", "--3"}, "the first page argument '--3'", "--3"},
      {{"report.txt", "2147483648"}, "the first page argument '2147483648'", "2147483648"},
      {{"report.txt", "-2147483649"}, "the first page argument '-2147483649'", "-2147483649"},
      {{"report.txt", "1", "7-"}, "the last page argument '7-'", "7-"},
      {{"report.txt", "x", "+"}, "the last page argument '+'", "+"},
      // The pages are read before the print file is looked at.
      {{"nothere.txt", "-"}, "the first page argument '-'", "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Joined(c.arguments));
    TJobResult job = Run(c.arguments);
    EXPECT_EQ(job.ExitCode, 1);
    EXPECT_FALSE(job.TraceWritten);
    EXPECT_EQ(job.Errors, IntegerFailure(c.place, c.run));
    EXPECT_EQ(job.Output, "");
  }
  // Before the printer too: a printer that cannot be opened is never tried.
  WriteSystemProfile("[windows]\ndevice=Nowhere,NODRIVER,out.txt\n");
  TJobResult job = Run({"report.txt", "1", "1-2"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_EQ(job.Errors, IntegerFailure("the last page argument '1-2'", "1-2"));
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
    if (c.sheets == 0)
      EXPECT_NE(job.Errors.find(") falls in the range "), std::string::npos) << job.Errors;
    else
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
       {"report.txt", "1"}, 3,
       "report.txt, line 1, ESC F runs \"FSIZ:36,1-2\": '1-2' is not a valid floating point value"},
      {"on page 3, out of the range", "one\ftwo\fthree\x1b" "F:1-2;four\fafter",
       {"report.txt", "1", "2"}, 2,
       "report.txt, line 1, ESC F runs \"FSIZ:36,1-2\": '1-2' is not a valid floating point value"},
      {"an integer argument on a pending page", "one\n\f\n\x1bMtwo", {"report.txt", "1"}, 1,
       "report.txt, line 3, ESC M runs \"BALM:-\": '-' is not a valid integer value"},
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
  EXPECT_EQ(job.Errors, IntegerFailure("report.txt, job start, ESC C runs \"FELM:-\"", "-"));
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
