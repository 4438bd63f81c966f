// A print job on a CUPS queue, its one PDF document streamed to the
// scheduler as it is written.
#include "device/linux/cups_job.h"

#include <cups/cups.h>

#include <chrono>
#include <string>
#include <utility>

namespace tolvane {

namespace {

using std::chrono::milliseconds;

// A scheduler that takes no data and gives no answer for this long is given
// up on, and the job with it.
constexpr milliseconds JobSilence{60000};
// Cancelling is one short request on a connection of its own.
constexpr milliseconds CancelTime{5000};

bool Accepted(ipp_status_t status) { return status < IPP_STATUS_REDIRECTION_OTHER_SITE; }

}  // namespace

TCupsJob::~TCupsJob() { Cancel(); }

void TCupsJob::Fail(const char* what) {
  if (State_ == TState::Writing) State_ = TState::Failed;
  if (!Failure_.empty()) return;  // the first failure is the one that says why
  const char* reason = cupsLastErrorString();
  Failure_ = what;
  if (reason != nullptr && reason[0] != '\0') Failure_ += std::string(": ") + reason;
}

bool TCupsJob::Start(const std::string& queue, const std::string& title,
                     const TOptions& options) {
  if (State_ != TState::None) return false;
  TCupsConnection connection = TCupsConnection::ForJob(JobSilence);
  if (!connection) {
    Failure_ = "the CUPS scheduler cannot be reached";
    return false;
  }
  cups_option_t* list = nullptr;
  int count = 0;
  for (const auto& [name, value] : options)
    count = cupsAddOption(name.c_str(), value.c_str(), count, &list);
  int id = cupsCreateJob(connection.Http(), queue.c_str(), title.c_str(), count, list);
  cupsFreeOptions(count, list);
  if (id <= 0) {
    Fail(("the queue " + queue + " took no job").c_str());
    return false;
  }
  Queue_ = queue;
  Id_ = id;
  if (cupsStartDocument(connection.Http(), queue.c_str(), id, title.c_str(), CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE) {
    // The job exists but will never have its document.
    State_ = TState::Failed;
    Fail("the scheduler took no document");
    Cancel();
    return false;
  }
  Connection_.emplace(std::move(connection));
  State_ = TState::Writing;
  return true;
}

bool TCupsJob::Write(const void* data, size_t size) {
  if (State_ != TState::Writing) return false;
  if (size == 0) return true;
  if (cupsWriteRequestData(Connection_->Http(), static_cast<const char*>(data), size) !=
      HTTP_STATUS_CONTINUE) {
    Fail("the scheduler took no more of the document");
    return false;
  }
  return true;
}

bool TCupsJob::Finish() {
  if (State_ == TState::Writing) {
    ipp_status_t status = cupsFinishDocument(Connection_->Http(), Queue_.c_str());
    Connection_.reset();
    if (Accepted(status)) {
      State_ = TState::Finished;
      return true;
    }
    Fail("the scheduler did not accept the job");
  }
  Cancel();
  return false;
}

void TCupsJob::Cancel() {
  if (!Open()) return;
  // The document's request cannot be ended early on its own connection:
  // dropping the connection abandons it, and another one cancels the job.
  Connection_.reset();
  State_ = TState::Cancelled;
  TCupsConnection connection = TCupsConnection::ForQuestions(CancelTime);
  if (connection) cupsCancelJob2(connection.Http(), Queue_.c_str(), Id_, 0);
}

}  // namespace tolvane
