// The CUPS driver: the device names a CUPS queue, and each document becomes
// one job on it, sent as PDF while the job draws. The job is made at the
// first sheet (a document without sheets sends nothing), titled with the
// document's name; EndDoc ends it and checks that the scheduler accepted
// it, AbortDoc or a context deleted inside a document cancels it.
#include <cairo.h>
#include <cups/cups.h>

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "device/device.h"
#include "device/linux/cairo_device.h"
#include "device/linux/cups_geometry.h"
#include "device/linux/cups_job.h"
#include "device/linux/cups_scheduler.h"

namespace tolvane {

namespace {

// Opening asks the scheduler about the queue's paper; a scheduler that does
// not answer in this time gives no context.
constexpr std::chrono::milliseconds OpenTime{5000};

class TCupsSheets : public TPagedSheets {
 public:
  TCupsSheets(const TPrinterGeometry& geometry, std::string queue, TCupsJob::TOptions options)
      : TPagedSheets(geometry), Queue(std::move(queue)), Options(std::move(options)) {}

 protected:
  // The first sheet: the job is made now, so a document without sheets
  // sends nothing.
  cairo_surface_t* CreateSurface(cairo_write_func_t write, void* closure) override {
    if (!Job.Start(Queue, DocumentName, Options)) return nullptr;
    return CreatePdfStreamSurface(Geometry, write, closure);
  }

  bool WriteBytes(const unsigned char* data, unsigned int length) override {
    return Job.Write(data, length);
  }

  bool Commit(std::string& failure) override {
    if (Job.Finish()) return true;
    failure = Job.Failure();
    return false;
  }

  void Discard() override { Job.Cancel(); }

  std::string WriteFailure() const override { return Job.Failure(); }

 private:
  const std::string Queue;
  const TCupsJob::TOptions Options;
  TCupsJob Job;
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
TCupsJob::TOptions JobOptions(const TPrinterGeometry& queue, const TPrinterGeometry& job) {
  TCupsJob::TOptions options = {{"print-scaling", "none"}};
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
  cups_dest_t* dest = FindCupsDestination(dc->Device);
  if (dest == nullptr) return false;
  const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options,
                                        dest->options);
  if (accepting != nullptr && std::string(accepting) == "false") return false;
  TCupsConnection connection = TCupsConnection::ForQuestions(OpenTime);
  if (!connection) return false;
  TPrinterGeometry queue = ReadCupsQueueGeometry(connection.Http(), dest);
  dc->Geometry = ReadPrinterGeometry(dc->Device, queue);
  AttachCairoCanvas(dc, std::make_unique<TCupsSheets>(dc->Geometry, dest->name,
                                                      JobOptions(queue, dc->Geometry)));
  return true;
}

}  // namespace

extern const TDeviceBackend CupsDeviceBackend = CairoBackend("CUPS", CupsOpen);

}  // namespace tolvane
