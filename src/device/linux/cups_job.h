// One print job on a CUPS queue: a single PDF document, sent to the
// scheduler while it is being written, then either finished or cancelled.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "os/linux/cups_scheduler.h"

namespace tolvane {

using TCupsJobOptions = std::vector<std::pair<std::string, std::string>>;

enum class TCupsJobState { None, Writing, Failed, Finished, Cancelled };

// A job is started once and ended by FinishCupsJob or CancelCupsJob; while
// its document is open it holds the connection that sends it, so it stays
// where it was started (see TCupsConnection).
struct TCupsJob {
  std::string Queue;
  std::string Failure;  // what went wrong first, in the scheduler's words
  int Id = 0;
  size_t Sent = 0;  // bytes of the document handed to the connection
  TCupsJobState State = TCupsJobState::None;
  // From its start to its end the job holds back the signals that end the
  // program, so that one of them cancels it rather than leaving it waiting.
  bool Deferring = false;
  // Open from the start to the end of the document: the document is one
  // request whose data keeps the connection busy until it ends.
  TCupsConnection Connection;
};

// Creates the job on queue with the given title and job options and opens
// its one document as PDF. False when no scheduler answers or it refuses (no
// such queue, a queue that takes no jobs); nothing is left behind.
bool StartCupsJob(TCupsJob& job, const std::string& queue, const std::string& title,
                  const TCupsJobOptions& options);

// Sends the next bytes of the document. False once anything has failed; the
// job then goes no further than its cancellation.
bool WriteCupsJob(TCupsJob& job, const void* data, size_t size);

// Ends the document; true when the scheduler accepted the whole job. A job
// that it did not accept, or that failed before, is cancelled.
bool FinishCupsJob(TCupsJob& job);

// Cancels the job when one is open; the scheduler keeps it as cancelled.
void CancelCupsJob(TCupsJob& job);

// Whether the job has a document open (writing, or failed and not yet
// cancelled).
bool CupsJobOpen(const TCupsJob& job);

// For a job that a scope holds, which an error may leave early: the guard
// cancels the job when the scope ends, unless it was finished.
using TCupsJobGuard = std::unique_ptr<TCupsJob, void (*)(TCupsJob*)>;
TCupsJobGuard GuardCupsJob(TCupsJob& job);

}  // namespace tolvane
