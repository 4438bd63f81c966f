// How the program ends on SIGTERM, SIGINT and SIGHUP. It ends as the signal
// would end it (so a host sees the signal's usual status), after the
// clean-ups that parts of the program registered have run; a host program
// that ignores one of the signals keeps it ignored.
#pragma once

namespace tolvane {

// Registers a clean-up to run, in the handler, when a signal ends the
// process; it must be safe in a signal handler. The signals are caught from
// the first registration or deferral on.
void CleanUpOnTermination(void (*cleanUp)());

// Holds back the signals while files change their names together, so that
// they cut no group of renames in half; held signals arrive at the release.
// Holds nest.
void HoldTermination();
void ReleaseTermination();

// While a job on a print queue is open, a signal is only noted: its owner
// sees it at its next step (or during a wait), cancels the job, and then
// ends the deferral, which ends the process as the signal would have.
// Deferrals nest.
void DeferTermination();
void EndDeferredTermination();
// A signal was noted during a deferral.
bool TerminationRequested();

}  // namespace tolvane
