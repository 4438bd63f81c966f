// The CUPS queue that the CUPS tests print to, as scripts/cups-test-setup.sh
// sets it up: TolvaneTest on the cups-pdf backend, every job a PDF file named
// ...-job_ID.pdf in one directory. The tests look at it through the CUPS
// command-line tools, not through the code they test, and skip when it is
// not there. A test that prints holds a lock on it, so that tests running in
// parallel can tell their jobs apart.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace cups_test {

inline const char TestQueue[] = "TolvaneTest";
inline const char TestQueueOutput[] = "/var/spool/cups-pdf/TolvaneTest";

// What a shell command writes to standard output; status is its exit status.
inline std::string CommandOutput(const std::string& command, int* status = nullptr) {
  std::string output;
  char buffer[4096];
  std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  for (size_t count; pipe && (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, count);
  int result = pipe ? pclose(pipe) : -1;
  if (status) *status = result != -1 && WIFEXITED(result) ? WEXITSTATUS(result) : -1;
  return output;
}

// Empty when the queue is there to print to; otherwise why not.
inline std::string TestQueueMissing() {
  const std::string setup = "; run scripts/cups-test-setup.sh as root";
  if (CommandOutput("LC_ALL=C lpstat -r").find("scheduler is running") == std::string::npos)
    return "no CUPS scheduler runs (see lpstat -r)" + setup;
  int status = 0;
  CommandOutput(std::string("LC_ALL=C lpstat -p ") + TestQueue, &status);
  if (status != 0) return std::string("the CUPS queue ") + TestQueue + " does not exist" + setup;
  if (!std::filesystem::is_directory(TestQueueOutput))
    return std::string(TestQueueOutput) + " is missing" + setup;
  return "";
}

// Held while a test prints to the queue.
class TTestQueueLock {
 public:
  TTestQueueLock() : Fd(open("/tmp/tolvane-cups-tests.lock", O_CREAT | O_RDWR, 0666)) {
    if (Fd >= 0) flock(Fd, LOCK_EX);
  }
  ~TTestQueueLock() {
    if (Fd >= 0) close(Fd);
  }
  TTestQueueLock(const TTestQueueLock&) = delete;
  TTestQueueLock& operator=(const TTestQueueLock&) = delete;

 private:
  int Fd;
};

// The queue's jobs as lpstat lists them ("TolvaneTest-ID user size date"):
// all that the scheduler remembers, or those not yet ended.
inline std::vector<std::vector<std::string>> TestQueueJobs(bool pendingOnly) {
  std::istringstream lines(CommandOutput(std::string("LC_ALL=C lpstat -W ") +
                                         (pendingOnly ? "not-completed" : "all") + " -o " +
                                         TestQueue));
  std::vector<std::vector<std::string>> jobs;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> columns;
    for (std::string word; words >> word;) columns.push_back(word);
    if (!columns.empty() && columns[0].rfind(std::string(TestQueue) + "-", 0) == 0)
      jobs.push_back(columns);
  }
  return jobs;
}

inline int JobId(const std::vector<std::string>& columns) {
  return std::atoi(columns[0].c_str() + sizeof TestQueue);
}

// The PDF file that cups-pdf made of a job; empty when there is none.
inline std::string TestQueuePdf(int job) {
  const std::string suffix = "-job_" + std::to_string(job) + ".pdf";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(TestQueueOutput, error)) {
    std::string name = entry.path().filename().string();
    if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix)
      return entry.path().string();
  }
  return "";
}

// Waits until the job has ended (completed, cancelled or aborted); false
// when it still has not after the time given.
inline bool WaitUntilJobEnds(int job, std::chrono::seconds limit = std::chrono::seconds(60)) {
  for (auto deadline = std::chrono::steady_clock::now() + limit;;) {
    bool pending = false;
    for (const auto& columns : TestQueueJobs(true)) pending = pending || JobId(columns) == job;
    if (!pending) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace cups_test
