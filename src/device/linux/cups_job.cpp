// A print job on a CUPS queue, its one PDF document streamed to the
// scheduler as it is written.
#include "device/linux/cups_job.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "os/linux/termination.h"
#include "os/win32.h"

namespace tolvane {

namespace {

using std::chrono::milliseconds;

// A scheduler that takes no data and gives no answer for this long is given
// up on, and the job with it.
constexpr milliseconds JobSilence{60000};
// Cancelling, and asking whether the whole job arrived, is one short
// request on a connection of its own.
constexpr milliseconds CancelTime{5000};
constexpr milliseconds CheckTime{5000};

bool Accepted(ipp_status_t status) { return status < IPP_STATUS_REDIRECTION_OTHER_SITE; }

// Keeps libcups' account of the request that just failed.
void FailCupsJob(TCupsJob& job, const char* what) {
  if (job.State == TCupsJobState::Writing) job.State = TCupsJobState::Failed;
  if (!job.Failure.empty()) return;  // the first failure is the one that says why
  const char* reason = cupsLastErrorString();
  job.Failure = what;
  if (reason != nullptr && reason[0] != '\0') job.Failure += std::string(": ") + reason;
}

// The job's number on queue, or 0 when the queue took none.
int CreateJob(http_t* http, const std::string& queue, const std::string& title,
              const TCupsJobOptions& options) {
  cups_option_t* list = nullptr;
  int count = 0;
  for (const auto& [name, value] : options)
    count = cupsAddOption(name.c_str(), value.c_str(), count, &list);
  int id = cupsCreateJob(http, queue.c_str(), title.c_str(), count, list);
  cupsFreeOptions(count, list);
  return id > 0 ? id : 0;
}

void CancelGuardedJob(TCupsJob* job) { CancelCupsJob(*job); }

// The job no longer holds back the signals; one that came meanwhile ends the
// program now.
void StopDeferring(TCupsJob& job) {
  if (!job.Deferring) return;
  job.Deferring = false;
  EndDeferredTermination();
}

// A signal to end the program came while the job was open: the job is
// cancelled, so that nothing of it prints, and the signal has its way.
bool Interrupted(TCupsJob& job) {
  if (!TerminationRequested()) return false;
  FailCupsJob(job, "the program was ended by a signal");
  CancelCupsJob(job);  // ends the deferral, and with it the program
  return true;
}

// The job's attributes as the scheduler has them now, or null.
ipp_t* AskAboutJob(http_t* http, int id) {
  static const char* const wanted[] = {"job-state", "job-k-octets"};
  char uri[HTTP_MAX_URI];
  std::string resource = "/jobs/" + std::to_string(id);
  httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                  resource.c_str());
  ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
               cupsUser());
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                wanted);
  ipp_t* response = cupsDoRequest(http, request, "/");
  if (response && !Accepted(ippGetStatusCode(response))) {
    ippDelete(response);
    return nullptr;
  }
  return response;
}

// A document is printed only when the scheduler has all of it: the job is
// not cancelled or aborted, and it holds as many kilobytes as were sent (a
// connection that stalled may have lost data on the way and still ended
// its request well).
bool WholeJobReceived(TCupsJob& job) {
  // A scheduler busy with the job it just took may be slow to answer: it
  // has what is left of the job's silence, and a few seconds at least.
  milliseconds left = std::max(CheckTime, job.Connection.Silence - job.Connection.Silent);
  TCupsConnection asking;
  ipp_t* answer = ConnectForJob(asking, left) ? AskAboutJob(asking.Http, job.Id) : nullptr;
  CloseCupsConnection(asking);
  if (!answer) {
    FailCupsJob(job, "the scheduler did not say whether it has the whole job");
    return false;
  }
  ipp_attribute_t* state = ippFindAttribute(answer, "job-state", IPP_TAG_ENUM);
  ipp_attribute_t* size = ippFindAttribute(answer, "job-k-octets", IPP_TAG_INTEGER);
  int jobState = state ? ippGetInteger(state, 0) : IPP_JSTATE_PENDING;
  size_t kilobytes = size ? static_cast<size_t>(ippGetInteger(size, 0)) : (job.Sent + 1023) / 1024;
  ippDelete(answer);
  if (jobState == IPP_JSTATE_CANCELED || jobState == IPP_JSTATE_ABORTED) {
    job.Failure = "the scheduler stopped the job";
  } else if (kilobytes < (job.Sent + 1023) / 1024) {
    job.Failure = "the scheduler received " + std::to_string(kilobytes) + " KB of the job's " +
                  std::to_string((job.Sent + 1023) / 1024) + " KB";
  } else {
    return true;
  }
  job.State = TCupsJobState::Failed;
  return false;
}

}  // namespace

bool StartCupsJob(TCupsJob& job, const std::string& queue, const std::string& title,
                  const TCupsJobOptions& options) {
  if (job.State != TCupsJobState::None) return false;
  job.Deferring = true;
  DeferTermination();
  if (!ConnectForJob(job.Connection, JobSilence)) {
    job.Failure = "the CUPS scheduler cannot be reached";
    StopDeferring(job);
    return false;
  }
  int id = CreateJob(job.Connection.Http, queue, title, options);
  if (id == 0) {
    FailCupsJob(job, ("the queue " + queue + " took no job").c_str());
    CloseCupsConnection(job.Connection);
    StopDeferring(job);
    return false;
  }
  job.Queue = queue;
  job.Id = id;
  job.State = TCupsJobState::Writing;
  if (Interrupted(job)) return false;
  if (cupsStartDocument(job.Connection.Http, queue.c_str(), id, title.c_str(), CUPS_FORMAT_PDF,
                        1) != HTTP_STATUS_CONTINUE) {
    // The job exists but will never have its document.
    FailCupsJob(job, "the scheduler took no document");
    CancelCupsJob(job);
    return false;
  }
  return true;
}

// libcups may drop buffered data whose sending timed out and still answer
// that all is well; the connection's error is what tells.
bool WriteCupsJob(TCupsJob& job, const void* data, size_t size) {
  if (job.State != TCupsJobState::Writing || Interrupted(job)) return false;
  if (size == 0) return true;
  if (cupsWriteRequestData(job.Connection.Http, static_cast<const char*>(data), size) !=
          HTTP_STATUS_CONTINUE ||
      httpError(job.Connection.Http) != 0) {
    if (Interrupted(job)) return false;
    FailCupsJob(job, "the scheduler took no more of the document");
    return false;
  }
  job.Sent += size;
  return true;
}

bool FinishCupsJob(TCupsJob& job) {
  if (Interrupted(job)) return false;
  if (job.State == TCupsJobState::Writing) {
    bool sent = httpFlushWrite(job.Connection.Http) >= 0 && httpError(job.Connection.Http) == 0;
    ipp_status_t status = cupsFinishDocument(job.Connection.Http, job.Queue.c_str());
    CloseCupsConnection(job.Connection);
    if (!sent || !Accepted(status))
      FailCupsJob(job, "the scheduler did not accept the job");
    else if (WholeJobReceived(job))
      job.State = TCupsJobState::Finished;
    if (job.State == TCupsJobState::Finished)
      NoteDocumentPlace("CUPS queue " + job.Queue + ", request id " + job.Queue + "-" +
                        std::to_string(job.Id));
    if (job.State == TCupsJobState::Finished) {
      StopDeferring(job);
      return true;
    }
  }
  CancelCupsJob(job);
  return false;
}

void CancelCupsJob(TCupsJob& job) {
  if (!CupsJobOpen(job)) {
    StopDeferring(job);
    return;
  }
  // The document's request cannot be ended early on its own connection:
  // dropping the connection abandons it, and another one cancels the job.
  CloseCupsConnection(job.Connection);
  job.State = TCupsJobState::Cancelled;
  TCupsConnection asking;
  if (ConnectForQuestions(asking, CancelTime))
    cupsCancelJob2(asking.Http, job.Queue.c_str(), job.Id, 0);
  CloseCupsConnection(asking);
  StopDeferring(job);
}

bool CupsJobOpen(const TCupsJob& job) {
  return job.State == TCupsJobState::Writing || job.State == TCupsJobState::Failed;
}

TCupsJobGuard GuardCupsJob(TCupsJob& job) { return TCupsJobGuard(&job, CancelGuardedJob); }

}  // namespace tolvane
