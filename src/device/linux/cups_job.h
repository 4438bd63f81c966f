// One print job on a CUPS queue: a single PDF document, sent to the
// scheduler while it is being written, then either finished or cancelled.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/linux/cups_scheduler.h"

namespace tolvane {

class TCupsJob {
 public:
  using TOptions = std::vector<std::pair<std::string, std::string>>;

  TCupsJob() = default;
  TCupsJob(const TCupsJob&) = delete;
  TCupsJob& operator=(const TCupsJob&) = delete;
  // A job that was started and neither finished nor cancelled is cancelled.
  ~TCupsJob();

  // Creates the job on queue with the given title and job options and opens
  // its one document as PDF. False when no scheduler answers or it refuses
  // (no such queue, a queue that takes no jobs); nothing is left behind.
  bool Start(const std::string& queue, const std::string& title, const TOptions& options);

  // Sends the next bytes of the document. False once anything has failed;
  // the job then goes no further than its cancellation.
  bool Write(const void* data, size_t size);

  // Ends the document; true when the scheduler accepted the whole job. A job
  // that it did not accept, or that failed before, is cancelled.
  bool Finish();

  // Cancels the job when one is open; the scheduler keeps it as cancelled.
  void Cancel();

  // What went wrong last, in the scheduler's words; empty when nothing did.
  const std::string& Failure() const { return Failure_; }
  int Id() const { return Id_; }
  bool Open() const { return State_ == TState::Writing || State_ == TState::Failed; }

 private:
  enum class TState { None, Writing, Failed, Finished, Cancelled };

  // Keeps libcups' account of the request that just failed.
  void Fail(const char* what);

  std::string Queue_;
  std::string Failure_;
  int Id_ = 0;
  TState State_ = TState::None;
  // Open from Start to the end of the document: the document is one
  // request whose data keeps the connection busy until it ends.
  std::optional<TCupsConnection> Connection_;
};

}  // namespace tolvane
