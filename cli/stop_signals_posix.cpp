#include <signal.h>

#include <csignal>

#include "cli/forced_end.h"
#include "cli/stop_signals.h"

namespace zema {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

volatile std::sig_atomic_t g_stopRequested = 0;

// Only a Ctrl-C forces the end: a closed output raises SIGPIPE again with
// every write of the clean stop.
extern "C" void NoteStop(int signal) {
  if (signal == SIGINT && g_stopRequested != 0) EndAtOnceUnlessWriting();
  g_stopRequested = 1;
}

}  // namespace

void InstallStopSignals(const std::string& abortedText) {
  PrepareForcedEnd(abortedText);
  struct sigaction action {};
  action.sa_handler = NoteStop;
  // One stop at a time: a Ctrl-C that came while the first stop was being
  // noted still finds it noted.
  sigemptyset(&action.sa_mask);
  for (int signal : kStopSignals) sigaddset(&action.sa_mask, signal);
  // No SA_RESTART: a wait on the line returns, and the driver's loops go on
  // against their own deadlines.
  action.sa_flags = 0;
  // A closed output (the reader of a pipe has ended) stops the run the same
  // way rather than killing it half-way through a file; the writes that
  // follow fail and are not needed.
  for (int signal : kStopSignals) sigaction(signal, &action, nullptr);
}

bool StopRequested() { return g_stopRequested != 0; }

}  // namespace zema
