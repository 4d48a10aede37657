// One use of the sensor from the command line: connect as the loader's
// CONNECT does, then READ, WRITE (and read back), compare or only resume,
// then RUN's resume when asked for. Returns the exit status.
#pragma once

#include "cli/cli_options.h"
#include "cli/terminal_run_view.h"

namespace zema {

int RunSession(const CliOptions& options, TerminalRunView& view);

}  // namespace zema
