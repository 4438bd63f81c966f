// Connections to the CUPS scheduler with bounded waits, and the destinations
// read once per run.
#include "os/linux/cups_scheduler.h"
#include "os/linux/termination.h"

#include <cups/cups.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

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

// How long a job waits at a time before its silence is counted.
constexpr milliseconds JobStep{1000};

// Called when a wait has passed its limit: true waits once more.
int KeepWaiting(http_t* /*http*/, void* data) {
  auto* connection = static_cast<TCupsConnection*>(data);
  if (connection->Overall) return Clock::now() < connection->Deadline ? 1 : 0;
  // A job's wait gives way to a signal that ends the program, so that the
  // job is cancelled at once.
  if (TerminationRequested()) return 0;
  connection->Silent += connection->Step;
  return connection->Silent < connection->Silence ? 1 : 0;
}

bool Connect(TCupsConnection& connection, milliseconds connect, milliseconds wait, bool overall) {
  CloseCupsConnection(connection);
  cupsSetPasswordCB2(NoPassword, nullptr);
  connection.Deadline = Clock::now() + connect;
  connection.Overall = overall;
  connection.Http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                 static_cast<int>(connect.count()), nullptr);
  if (!connection.Http) return false;
  httpSetTimeout(connection.Http, static_cast<double>(wait.count()) / 1000.0, KeepWaiting,
                 &connection);
  return true;
}

// Kept for the process and never torn down, so that nothing is freed
// behind a caller that still holds a destination at exit.
struct TDestinations {
  bool Read = false;
  bool Answered = false;  // a scheduler took the connection
  int Count = 0;
  cups_dest_t* List = nullptr;
};

TDestinations& CachedDestinations() {
  static TDestinations* destinations = new TDestinations();
  return *destinations;
}

TDestinations& Destinations() {
  TDestinations& destinations = CachedDestinations();
  if (!destinations.Read) {
    destinations.Read = true;  // also when nothing answers: asked once per run
    TCupsConnection connection;
    destinations.Answered = ConnectForQuestions(connection, QuestionTime);
    if (destinations.Answered)
      destinations.Count = cupsGetDests2(connection.Http, &destinations.List);
    CloseCupsConnection(connection);
    if (destinations.Count < 0) destinations.Count = 0;
  }
  return destinations;
}

}  // namespace

bool ConnectForQuestions(TCupsConnection& connection, milliseconds overall) {
  return Connect(connection, overall, QuestionStep, true);
}

bool ConnectForJob(TCupsConnection& connection, milliseconds silence) {
  milliseconds step = std::min(JobStep, silence);
  if (!Connect(connection, silence, step, false)) return false;
  connection.Step = step;
  connection.Silent = milliseconds{0};
  connection.Silence = silence;
  return true;
}

void CloseCupsConnection(TCupsConnection& connection) {
  if (connection.Http) httpClose(connection.Http);
  connection.Http = nullptr;
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

bool CupsSchedulerAnswers() { return Destinations().Answered; }

std::string CupsServerName() {
  std::string server = cupsServer();
  if (!server.empty() && server[0] == '/') return server;
  return server + ":" + std::to_string(ippPort());
}

std::vector<std::string> CupsQueueNames() {
  TDestinations& destinations = Destinations();
  std::vector<std::string> names;
  for (int i = 0; i < destinations.Count; i++)
    if (destinations.List[i].instance == nullptr) names.push_back(destinations.List[i].name);
  return names;
}

void ForgetCupsDestinations() {
  TDestinations& destinations = CachedDestinations();
  cupsFreeDests(destinations.Count, destinations.List);
  destinations = TDestinations{};
}

}  // namespace tolvane
