// Printing to a real CUPS queue: the sample report arrives as a PDF of its
// three sheets, a failed job is cancelled and prints nothing, a document
// without sheets sends no job. The queue is TolvaneTest of
// scripts/cups-test-setup.sh, whose cups-pdf backend turns every job into a
// PDF file; without it these tests skip.
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "cups_test_queue.h"
#include "host.h"

namespace {

using namespace cups_test;

const char QueueProfile[] = "[Devices]\nTolvaneTest=CUPS,TolvaneTest\n";

class CupsQueue : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    std::string missing = TestQueueMissing();
    if (!missing.empty()) GTEST_SKIP() << "CUPS queue tests skipped: " << missing;
    Lock.emplace();
    for (const auto& columns : TestQueueJobs(false)) Known.push_back(JobId(columns));
    WriteSystemProfile(QueueProfile);
  }
  void TearDown() override {
    std::error_code ignored;
    if (!HasFailure())  // the PDFs of a failed test stay for a look
      for (const std::string& file : Outputs) std::filesystem::remove(file, ignored);
    if (SavedPrinter) setenv("PRINTER", SavedPrinter->c_str(), 1);
    if (SetPrinter && !SavedPrinter) unsetenv("PRINTER");
    HostTest::TearDown();
  }

  std::string Example(const std::string& name) {
    std::ifstream file(std::string(TOLVANE_SOURCE_DIR) + "/examples/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // The jobs that the queue got since the test began, as lpstat lists them.
  std::vector<std::vector<std::string>> NewJobs() const {
    std::vector<std::vector<std::string>> jobs;
    for (const auto& columns : TestQueueJobs(false))
      if (std::find(Known.begin(), Known.end(), JobId(columns)) == Known.end())
        jobs.push_back(columns);
    return jobs;
  }

  // The one job that the program sent, once it has ended; 0 when it sent
  // none or more.
  int TheNewJob() {
    auto jobs = NewJobs();
    EXPECT_EQ(jobs.size(), 1u);
    if (jobs.size() != 1) return 0;
    EXPECT_TRUE(WaitUntilJobEnds(JobId(jobs[0]))) << jobs[0][0] << " did not end in time";
    return JobId(jobs[0]);
  }

  // The PDF that the queue made of a job; empty when there is none.
  std::string OutputOf(int job) {
    std::string file = TestQueuePdf(job);
    if (!file.empty()) Outputs.push_back(file);
    return file;
  }

  static std::string PdfText(const std::string& file) {
    return CommandOutput("pdftotext -enc UTF-8 '" + file + "' -");
  }
  static std::string PdfInfo(const std::string& file) {
    return CommandOutput("pdfinfo '" + file + "'");
  }

  std::optional<TTestQueueLock> Lock;
  std::vector<int> Known;
  std::vector<std::string> Outputs;
  std::optional<std::string> SavedPrinter;
  bool SetPrinter = false;
};

TEST_F(CupsQueue, SampleReportArrivesAsThreeSheetsOfPdf) {
  for (const char* name : {"sample-report.txt", "logo.bmp"}) WriteFile(name, Example(name));
  std::string configuration = Example("tolvane.ini");
  size_t line = configuration.find("\nprinter=");
  ASSERT_NE(line, std::string::npos);
  size_t end = configuration.find('\n', line + 1);
  WriteConfiguration(configuration.replace(line, end - line, "\nprinter=TolvaneTest"));

  TJobResult job = Run({"sample-report.txt", "1"});
  ASSERT_EQ(job.ExitCode, 0) << job.Errors;
  EXPECT_EQ(job.Errors, "");
  int id = TheNewJob();
  std::string file = OutputOf(id);
  ASSERT_FALSE(file.empty()) << "no PDF of job " << id << " in " << TestQueueOutput;
  std::string info = PdfInfo(file);
  EXPECT_NE(info.find("Pages:           3\n"), std::string::npos) << info;
  EXPECT_NE(info.find("(A4)"), std::string::npos) << info;  // the queue's paper
  EXPECT_NE(info.find("Tolvane_drv"), std::string::npos) << info;  // the job's title
  // The letterhead, the rotated listing and the notes, through the code page
  // conversion of the sample's configuration.
  std::string text = PdfText(file);
  for (const char* words : {"TOLVANE MINTA KFT.", "SZÁMLA", "Kovács és Társa Bt.", "51300 Ft",
                            "HAVI FORGALOM", "Augusztus", "MEGJEGYZÉSEK"})
    EXPECT_NE(text.find(words), std::string::npos) << words << " is not in:\n" << text;
}

TEST_F(CupsQueue, FailedJobIsCancelledAndPrintsNothing) {
  // Pages 1 and 2 are drawn, then page 3 holds a malformed number.
  WriteConfiguration("[preferences]\nprinter=tolvanetest\n[sequences]\nF=FSIZ:36\n");
  WriteFile("report.txt", "one\ftwo\fthree\x1b" "F:1-2;four\fafter");
  TJobResult job = Run({"report.txt", "1"});
  EXPECT_EQ(job.ExitCode, 1);
  EXPECT_NE(job.Errors.find("'1-2' is not a valid floating point value"), std::string::npos)
      << job.Errors;
  // The job was made at the first sheet and cancelled before its document
  // was complete: the scheduler kept nothing of it (size 0), nothing printed.
  int id = TheNewJob();
  ASSERT_GT(id, 0);
  EXPECT_EQ(OutputOf(id), "");
  auto jobs = NewJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].at(2), "0") << "the scheduler kept a document of the failed job";
}

TEST_F(CupsQueue, DefaultDestinationPrintsAndNoSheetsSendNoJob) {
  // No printer named but in CUPS: PRINTER (which the program inherits) makes
  // the queue the default destination, and so the default printer.
  if (const char* printer = getenv("PRINTER")) SavedPrinter = printer;
  SetPrinter = true;
  setenv("PRINTER", TestQueue, 1);
  WriteSystemProfile("");
  WriteConfiguration("[preferences]\nfont=Courier New\n");
  WriteFile("report.txt", "only page");
  TJobResult empty = Run({"report.txt", "2"});
  EXPECT_EQ(empty.ExitCode, 0) << empty.Errors;
  EXPECT_TRUE(NewJobs().empty()) << "a document without sheets sent a job";

  TJobResult printed = Run({"report.txt", "1"});
  ASSERT_EQ(printed.ExitCode, 0) << printed.Errors;
  std::string file = OutputOf(TheNewJob());
  ASSERT_FALSE(file.empty());
  EXPECT_NE(PdfInfo(file).find("Pages:           1\n"), std::string::npos);
  EXPECT_NE(PdfText(file).find("only page"), std::string::npos);
}

TEST_F(CupsQueue, PrinterSectionChoosesThePaperAndAMissingQueueNoPrinter) {
  WriteSystemProfile(std::string(QueueProfile) + "Gone=CUPS,ipp://localhost/printers/Gone\n" +
                     "[TolvaneTest]\npaper=A5\n");
  WriteConfiguration("[preferences]\nprinter=TolvaneTest\n");
  WriteFile("report.txt", "small sheet");
  TJobResult job = Run({"report.txt", "1"});
  ASSERT_EQ(job.ExitCode, 0) << job.Errors;
  std::string file = OutputOf(TheNewJob());
  ASSERT_FALSE(file.empty());
  EXPECT_NE(PdfInfo(file).find("(A5)"), std::string::npos) << PdfInfo(file);
  EXPECT_NE(PdfText(file).find("small sheet"), std::string::npos);

  Known.push_back(JobId(NewJobs().at(0)));
  WriteConfiguration("[preferences]\nprinter=Gone\n");
  EXPECT_EQ(Run({"report.txt", "1"}).ExitCode, 2);
  EXPECT_TRUE(NewJobs().empty());
}

}  // namespace
