// The CUPS driver: the device names a CUPS queue, and each document becomes
// one job on it, sent as PDF while the job draws. The job is made at the
// first sheet (a document without sheets sends nothing), titled with the
// document's name; EndDoc ends it and checks that the scheduler accepted
// it, AbortDoc or a context deleted inside a document cancels it.
#include <cups/cups.h>

#include <chrono>
#include <string>

#include "device/device.h"
#include "device/linux/cups_geometry.h"
#include "device/linux/cups_job.h"
#include "device/linux/lazy_graphics.h"
#include "device/pdf/pdf_canvas.h"
#include "os/linux/cups_scheduler.h"

namespace tolvane {

namespace {

// Opening asks the scheduler about the queue's paper; a scheduler that does
// not answer in this time gives no context.
constexpr std::chrono::milliseconds OpenTime{5000};

// The output of a paged document that is one job on a queue.
struct TCupsOutput {
  std::string Queue;
  TCupsJobOptions Options;
  TCupsJob Job;
};

TCupsOutput& CupsOutput(void* output) { return *static_cast<TCupsOutput*>(output); }

// The first sheet: the job is made now, so a document without sheets sends
// nothing.
bool StartJob(void* output, const std::string& name, std::string& failure) {
  TCupsOutput& cups = CupsOutput(output);
  if (StartCupsJob(cups.Job, cups.Queue, name, cups.Options)) return true;
  failure = cups.Job.Failure;
  return false;
}

bool SendToJob(void* output, const void* data, size_t length) {
  return WriteCupsJob(CupsOutput(output).Job, data, length);
}

bool FinishJob(void* output, std::string& failure) {
  TCupsJob& job = CupsOutput(output).Job;
  if (FinishCupsJob(job)) return true;
  failure = job.Failure;
  return false;
}

void CancelJob(void* output) { CancelCupsJob(CupsOutput(output).Job); }

std::string JobFailure(const void* output) {
  return static_cast<const TCupsOutput*>(output)->Job.Failure;
}

void ReleaseJob(void* output) {
  CancelCupsJob(CupsOutput(output).Job);
  delete &CupsOutput(output);
}

const TPdfOutput CupsJobOutput = {
    NoPdfPreparation, StartJob, SendToJob, FinishJob, CancelJob, JobFailure, ReleaseJob,
};

// The PWG name of a sheet size, for a job whose paper is not the queue's
// default; empty when libcups can name none.
std::string MediaName(const TPrinterGeometry& geometry) {
  int width = static_cast<int>(geometry.PaperWidthMicro / 10);
  int length = static_cast<int>(geometry.PaperHeightMicro / 10);
  if (pwg_media_t* media = pwgMediaForSize(width, length)) return media->pwg;
  char name[IPP_MAX_NAME];
  if (pwgFormatSizeName(name, sizeof name, "custom", nullptr, width, length, nullptr)) return name;
  return "";
}

// The job draws every sheet at its place on the paper; the queue must print
// it as it is, not scale it into the margins that it reports itself.
TCupsJobOptions JobOptions(const TPrinterGeometry& queue, const TPrinterGeometry& job) {
  TCupsJobOptions options = {{"print-scaling", "none"}};
  if (job.PaperWidthMicro != queue.PaperWidthMicro ||
      job.PaperHeightMicro != queue.PaperHeightMicro) {
    std::string media = MediaName(job);
    if (!media.empty()) options.emplace_back("media", media);
  }
  return options;
}

// A queue that does not exist, or that takes no jobs now, is an output that
// cannot be opened.
bool CupsOpen(TDeviceContext* dc) {
  if (!LoadPdfLibraries()) return false;
  std::string printer = "printer '" + dc->Device + "' (driver CUPS): ";
  cups_dest_t* dest = FindCupsDestination(dc->Device);
  if (dest == nullptr) {
    Diagnose(printer + (CupsSchedulerAnswers() ? "the CUPS scheduler at " + CupsServerName() +
                                                     " has no queue of that name"
                                               : "no CUPS scheduler answers at " +
                                                     CupsServerName()));
    return false;
  }
  const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options,
                                        dest->options);
  if (accepting != nullptr && std::string(accepting) == "false") {
    Diagnose(printer + "the queue does not accept jobs now (see lpstat -p " + dest->name + ")");
    return false;
  }
  TCupsConnection connection;
  if (!ConnectForQuestions(connection, OpenTime)) {
    Diagnose(printer + "no CUPS scheduler answers at " + CupsServerName());
    return false;
  }
  TPrinterGeometry queue = ReadCupsQueueGeometry(connection.Http, dest);
  CloseCupsConnection(connection);
  dc->Geometry = ReadPrinterGeometry(dc->Device, queue);
  auto* output = new TCupsOutput{dest->name, JobOptions(queue, dc->Geometry), TCupsJob{}};
  AttachPdfCanvas(dc, &CupsJobOutput, output);
  return true;
}

}  // namespace

extern const TDeviceBackend CupsDeviceBackend = PdfBackend("CUPS", CupsOpen);

}  // namespace tolvane
