// Keeps the transfer log of a test process, and of the programs it starts,
// out of the user's own log.
#pragma once

namespace zema {

// Points XDG_STATE_HOME at a folder of this process's own, removed when it
// exits. Call once, at the start of a test program's main.
void KeepTransferLogsInATestFolder();

}  // namespace zema
