// Ctrl-C (and on POSIX SIGTERM, SIGHUP and SIGPIPE) as the CANCEL button:
// the handler only notes the request; the terminal run view turns it into
// g_cancelState = 1 at its next call, so the run stops where CANCEL would
// stop it, and a parameter-only run between two sets.
#pragma once

// Installs the handlers once.
void InstallStopSignals();

// True once a stop was requested.
bool StopRequested();
