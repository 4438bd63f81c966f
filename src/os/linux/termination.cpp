#include "os/linux/termination.h"

#include <signal.h>

namespace tolvane {

namespace {

const int TerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

constexpr int MaxCleanUps = 4;
void (*CleanUps[MaxCleanUps])() = {};
volatile sig_atomic_t CleanUpCount = 0;

int HoldDepth = 0;
sigset_t MaskBeforeHold;

volatile sig_atomic_t DeferDepth = 0;
volatile sig_atomic_t PendingSignal = 0;

// Runs the clean-ups and gives the signal its default action. Raised inside
// the handler, the signal is delivered when the handler returns.
void EndBySignal(int number) {
  for (int i = 0; i < CleanUpCount; ++i) CleanUps[i]();
  signal(number, SIG_DFL);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  sigaddset(&unblocked, number);
  raise(number);
  sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
}

void OnTerminationSignal(int number) {
  if (DeferDepth > 0) {
    PendingSignal = number;
    return;
  }
  EndBySignal(number);
}

void CatchTerminationSignals() {
  static bool caught = false;
  if (caught) return;
  caught = true;
  for (int number : TerminationSignals) {
    struct sigaction old;
    if (sigaction(number, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    for (int other : TerminationSignals) sigaddset(&action.sa_mask, other);
    sigaction(number, &action, nullptr);
  }
}

}  // namespace

void CleanUpOnTermination(void (*cleanUp)()) {
  HoldTermination();
  CatchTerminationSignals();
  if (CleanUpCount < MaxCleanUps) {
    CleanUps[CleanUpCount] = cleanUp;
    CleanUpCount = CleanUpCount + 1;
  }
  ReleaseTermination();
}

void HoldTermination() {
  if (HoldDepth++ > 0) return;
  sigset_t held;
  sigemptyset(&held);
  for (int number : TerminationSignals) sigaddset(&held, number);
  sigprocmask(SIG_BLOCK, &held, &MaskBeforeHold);
}

void ReleaseTermination() {
  if (HoldDepth == 0 || --HoldDepth > 0) return;
  sigprocmask(SIG_SETMASK, &MaskBeforeHold, nullptr);
}

void DeferTermination() {
  CatchTerminationSignals();
  DeferDepth = DeferDepth + 1;
}

void EndDeferredTermination() {
  if (DeferDepth == 0) return;
  DeferDepth = DeferDepth - 1;
  if (DeferDepth == 0 && PendingSignal != 0) EndBySignal(PendingSignal);
}

bool TerminationRequested() { return PendingSignal != 0; }

}  // namespace tolvane
