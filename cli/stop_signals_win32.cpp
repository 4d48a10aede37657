#include <windows.h>

#include <csignal>

#include "cli/stop_signals.h"

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

// Runs on a thread of its own that the system starts; it only notes the
// request. TRUE keeps the process alive so that the run can stop cleanly.
BOOL WINAPI NoteStop(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      g_stopRequested = 1;
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallStopSignals() { SetConsoleCtrlHandler(NoteStop, TRUE); }

bool StopRequested() { return g_stopRequested != 0; }
