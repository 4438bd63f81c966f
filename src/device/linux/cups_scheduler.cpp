// Connections to the CUPS scheduler with bounded waits, and the destinations
// read once per run.
#include "device/linux/cups_scheduler.h"

#include <cups/cups.h>

#include <chrono>
#include <string>

namespace tolvane {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A run asks about printers a handful of times; the list is read at the
// first question. A machine without a scheduler answers at once (the
// connection is refused); these bound the worst case, one that takes the
// connection and never answers.
constexpr milliseconds QuestionTime{2000};
// How often a wait checks the overall deadline of a connection for questions.
constexpr milliseconds QuestionStep{250};

// The program has no one to ask for a password: a queue that wants one
// refuses the job instead of prompting on the terminal of a host program.
const char* NoPassword(const char* /*prompt*/, http_t* /*http*/, const char* /*method*/,
                       const char* /*resource*/, void* /*data*/) {
  return nullptr;
}

struct TDestinations {
  bool Read = false;
  int Count = 0;
  cups_dest_t* List = nullptr;

  void Forget() {
    cupsFreeDests(Count, List);
    Read = false;
    Count = 0;
    List = nullptr;
  }
  ~TDestinations() { Forget(); }
};

TDestinations& CachedDestinations() {
  static TDestinations destinations;
  return destinations;
}

TDestinations& Destinations() {
  TDestinations& destinations = CachedDestinations();
  if (!destinations.Read) {
    destinations.Read = true;  // also when nothing answers: asked once per run
    TCupsConnection connection = TCupsConnection::ForQuestions(QuestionTime);
    if (connection) destinations.Count = cupsGetDests2(connection.Http(), &destinations.List);
    if (destinations.Count < 0) destinations.Count = 0;
  }
  return destinations;
}

}  // namespace

TCupsConnection TCupsConnection::ForQuestions(milliseconds overall) {
  return TCupsConnection(overall, QuestionStep, true);
}

TCupsConnection TCupsConnection::ForJob(milliseconds silence) {
  return TCupsConnection(silence, silence, false);
}

TCupsConnection::TCupsConnection(milliseconds connect, milliseconds wait, bool overall) {
  cupsSetPasswordCB2(NoPassword, nullptr);
  Patience_ = new TPatience{Clock::now() + connect, overall};
  Http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                       static_cast<int>(connect.count()), nullptr);
  if (Http_)
    httpSetTimeout(Http_, static_cast<double>(wait.count()) / 1000.0, KeepWaiting, Patience_);
}

TCupsConnection::TCupsConnection(TCupsConnection&& other) noexcept
    : Http_(other.Http_), Patience_(other.Patience_) {
  other.Http_ = nullptr;
  other.Patience_ = nullptr;
}

TCupsConnection::~TCupsConnection() {
  Close();
  delete Patience_;
}

void TCupsConnection::Close() {
  if (Http_) httpClose(Http_);
  Http_ = nullptr;
}

// Called when a wait has passed its limit: true waits once more.
int TCupsConnection::KeepWaiting(http_t* /*http*/, void* data) {
  const auto* patience = static_cast<const TPatience*>(data);
  return patience->Overall && Clock::now() < patience->Deadline ? 1 : 0;
}

// cupsGetDest matches names without regard to ASCII case, as the printer
// names of the profile are matched.
cups_dest_t* FindCupsDestination(const std::string& name) {
  TDestinations& destinations = Destinations();
  if (name.empty()) return nullptr;
  return cupsGetDest(name.c_str(), nullptr, destinations.Count, destinations.List);
}

cups_dest_t* DefaultCupsDestination() {
  TDestinations& destinations = Destinations();
  return cupsGetDest(nullptr, nullptr, destinations.Count, destinations.List);
}

std::string CupsDestinationPort(const cups_dest_t& dest) {
  const char* uri = cupsGetOption("device-uri", dest.num_options, dest.options);
  return uri != nullptr && uri[0] != '\0' ? uri : dest.name;
}

void ForgetCupsDestinations() { CachedDestinations().Forget(); }

}  // namespace tolvane
