#include <windows.h>

#include <csignal>
#include <cstdlib>

#include "cli/forced_end.h"
#include "cli/stop_signals.h"

namespace zema {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;
// Set when the program ends, so that a handler waiting for that can return.
HANDLE g_programEnded = nullptr;

void NoteProgramEnd() { SetEvent(g_programEnded); }

// Runs on a thread of its own that the system starts; it only notes the
// request. TRUE keeps the process alive so that the run can stop cleanly.
BOOL WINAPI NoteStop(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (g_stopRequested != 0) EndAtOnceUnlessWriting();
      g_stopRequested = 1;
      return TRUE;
    case CTRL_CLOSE_EVENT:
      // The console window is closing: the system ends the process as soon
      // as this handler returns, and after about five seconds in any case.
      // Waiting here gives the run that time to stop after its block and
      // remove its partial file. (Wine sends no such event: closing is not
      // tried under Wine, where SIGHUP simply ends the process.)
      g_stopRequested = 1;
      if (g_programEnded != nullptr) WaitForSingleObject(g_programEnded, 4500);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void InstallStopSignals(const std::string& abortedText) {
  PrepareForcedEnd(abortedText);
  g_programEnded = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (g_programEnded != nullptr) std::atexit(NoteProgramEnd);
  SetConsoleCtrlHandler(NoteStop, TRUE);
}

bool StopRequested() { return g_stopRequested != 0; }

}  // namespace zema
