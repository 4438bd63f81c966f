// The CUPS scheduler as the program meets it: connections that give up
// rather than hang, and the destinations (queues) known for this run. Both
// the system printer profile and the CUPS driver ask here, so a printer that
// the profile names is the one that the driver prints to.
#pragma once

#include <cups/cups.h>

#include <chrono>
#include <string>
#include <vector>

namespace tolvane {

// A connection to the scheduler that libcups names (CUPS_SERVER,
// client.conf, else the local socket or localhost). libcups on its own waits
// without end for a scheduler that accepts the connection but never answers,
// so every wait here has a limit and a request that passes it fails.
//
// libcups keeps the connection's address for its timeout callback: a
// connection stays where it was connected until CloseCupsConnection.
struct TCupsConnection {
  http_t* Http = nullptr;  // null when no scheduler could be reached
  std::chrono::steady_clock::time_point Deadline{};  // questions: the end of all waits
  bool Overall = false;  // waits end at Deadline, not after each wait alone
  // A job's: the silence it has met so far, in waits of Step, and how much
  // of it in all the job may meet.
  std::chrono::milliseconds Step{0};
  std::chrono::milliseconds Silent{0};
  std::chrono::milliseconds Silence{0};
};

// For a few quick questions: the connection and all answers together take
// at most about `overall`. False when no scheduler could be reached.
bool ConnectForQuestions(TCupsConnection& connection, std::chrono::milliseconds overall);
// For a job: the waits for answers and for chances to send more data may
// add up to `silence` in all, however long the whole job takes; a scheduler
// that is stopped for that long fails the job.
bool ConnectForJob(TCupsConnection& connection, std::chrono::milliseconds silence);
// Drops the connection at once (a request half sent is abandoned); nothing
// happens for one that is not connected.
void CloseCupsConnection(TCupsConnection& connection);

// The destination named `name` (ASCII case ignored, instances left out), or
// null when the scheduler knows none or cannot be reached. The list is read
// once per run and keeps the destinations until ForgetCupsDestinations.
cups_dest_t* FindCupsDestination(const std::string& name);

// The default destination (PRINTER, LPDEST and lpoptions have their say in
// it), or null.
cups_dest_t* DefaultCupsDestination();

// What a destination's printer list entry names as its port: the queue's
// device URI, else its name.
std::string CupsDestinationPort(const cups_dest_t& dest);

// Whether a scheduler took the connection when the destinations were read.
bool CupsSchedulerAnswers();

// The scheduler that libcups asks: "localhost:631", or its socket's path.
std::string CupsServerName();

// The names of the queues, instances left out.
std::vector<std::string> CupsQueueNames();

// Forgets the destinations read so far, so the next question reads them
// again (tests change the scheduler and the environment between questions).
void ForgetCupsDestinations();

}  // namespace tolvane
