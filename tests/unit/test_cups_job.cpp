// Jobs on the test queue: a finished one is printed, every other one is
// cancelled and prints nothing. Skips without the queue of
// scripts/cups-test-setup.sh.
#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include <cups/cups.h>
#include <gtest/gtest.h>

#include "../e2e/cups_test_queue.h"
#include "device/linux/cups_job.h"

namespace tolvane {
namespace {

using namespace cups_test;

// A one-page PDF with a line of text in a standard font.
std::string OnePagePdf(const std::string& text) {
  std::string content = "BT /F1 24 Tf 72 720 Td (" + text + ") Tj ET\n";
  const std::string objects[] = {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 4 0 R "
      ">> >> /Contents 5 0 R >>",
      "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "endstream"};
  std::string pdf = "%PDF-1.4\n", xref = "xref\n0 6\n0000000000 65535 f \n";
  for (int i = 0; i < 5; ++i) {
    std::string offset = std::to_string(pdf.size());
    xref += std::string(10 - offset.size(), '0') + offset + " 00000 n \n";
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  return pdf + xref + "trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n" +
         std::to_string(pdf.size()) + "\n%%EOF\n";
}

// The state that the scheduler keeps for a job of the test queue.
int JobState(int id) {
  cups_job_t* jobs = nullptr;
  int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, TestQueue, 0, CUPS_WHICHJOBS_ALL);
  int state = 0;
  for (int i = 0; i < count; ++i)
    if (jobs[i].id == id) state = jobs[i].state;
  cupsFreeJobs(count, jobs);
  return state;
}

class CupsJob : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string missing = TestQueueMissing();
    if (!missing.empty()) GTEST_SKIP() << "CUPS queue tests skipped: " << missing;
    Lock.emplace();
  }
  std::optional<TTestQueueLock> Lock;
};

TEST_F(CupsJob, FinishedJobIsAcceptedAndPrinted) {
  const std::string pdf = OnePagePdf("Tolvane unit job");
  TCupsJob job;
  TCupsJobGuard guard = GuardCupsJob(job);
  ASSERT_TRUE(StartCupsJob(job, TestQueue, "tolvane unit job", {{"print-scaling", "none"}}))
      << job.Failure;
  for (size_t at = 0; at < pdf.size(); at += 100)  // in pieces, as cairo writes
    ASSERT_TRUE(WriteCupsJob(job, pdf.data() + at, std::min<size_t>(100, pdf.size() - at)));
  ASSERT_TRUE(FinishCupsJob(job)) << job.Failure;
  EXPECT_FALSE(CupsJobOpen(job));
  EXPECT_FALSE(WriteCupsJob(job, "x", 1));  // the document is over

  ASSERT_TRUE(WaitUntilJobEnds(job.Id));
  EXPECT_EQ(JobState(job.Id), IPP_JSTATE_COMPLETED);
  std::string file = TestQueuePdf(job.Id);
  ASSERT_FALSE(file.empty()) << "no PDF of job " << job.Id << " in " << TestQueueOutput;
  EXPECT_NE(CommandOutput("pdftotext '" + file + "' -").find("Tolvane unit job"),
            std::string::npos);
  if (!HasFailure()) std::filesystem::remove(file);
}

TEST_F(CupsJob, JobsThatDoNotFinishAreCancelledAndPrintNothing) {
  const std::string pdf = OnePagePdf("never printed");
  const std::string half = pdf.substr(0, pdf.size() / 2);
  int cancelled = 0, dropped = 0;
  {
    TCupsJob job;
    TCupsJobGuard guard = GuardCupsJob(job);
    ASSERT_TRUE(StartCupsJob(job, TestQueue, "tolvane cancelled job", {}));
    ASSERT_TRUE(WriteCupsJob(job, half.data(), half.size()));
    CancelCupsJob(job);
    cancelled = job.Id;
    EXPECT_FALSE(WriteCupsJob(job, half.data(), half.size()));
    EXPECT_FALSE(FinishCupsJob(job));
  }
  {
    TCupsJob job;
    TCupsJobGuard guard = GuardCupsJob(job);  // leaves the scope with its document open
    ASSERT_TRUE(StartCupsJob(job, TestQueue, "tolvane dropped job", {}));
    ASSERT_TRUE(WriteCupsJob(job, half.data(), half.size()));
    dropped = job.Id;
  }
  for (int id : {cancelled, dropped}) {
    ASSERT_TRUE(WaitUntilJobEnds(id));
    EXPECT_EQ(JobState(id), IPP_JSTATE_CANCELED) << "job " << id;
    EXPECT_EQ(TestQueuePdf(id), "") << "job " << id;
  }
  // A queue that does not exist takes no job.
  TCupsJob lost;
  EXPECT_FALSE(StartCupsJob(lost, "NoSuchTolvaneQueue", "tolvane lost job", {}));
  EXPECT_FALSE(lost.Failure.empty());
  EXPECT_FALSE(WriteCupsJob(lost, "x", 1));
}

}  // namespace
}  // namespace tolvane
