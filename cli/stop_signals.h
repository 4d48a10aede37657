// Ctrl-C (and on POSIX SIGTERM, SIGHUP and SIGPIPE) as the CANCEL button:
// the handler only notes the request; the terminal run view turns it into
// the run's cancel request at its next call, so the run stops where CANCEL would
// stop it, and a parameter-only run between two sets. A Ctrl-C after a stop
// was requested ends the program at once (forced_end.h).
#pragma once

#include <string>

// Installs the handlers once; `abortedText` is what a forced end prints.
void InstallStopSignals(const std::string& abortedText);

// True once a stop was requested.
bool StopRequested();
