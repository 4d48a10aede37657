#include <signal.h>

#include <csignal>
#include <initializer_list>

#include "cli/stop_signals.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void NoteStop(int) { g_stopRequested = 1; }

}  // namespace

void InstallStopSignals() {
  struct sigaction action {};
  action.sa_handler = NoteStop;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait on the line returns, and the driver's loops go on
  // against their own deadlines.
  action.sa_flags = 0;
  // A closed output (the reader of a pipe has ended) stops the run the same
  // way rather than killing it half-way through a file; the writes that
  // follow fail and are not needed.
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(signal, &action, nullptr);
}

bool StopRequested() { return g_stopRequested != 0; }
