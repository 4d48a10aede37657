// "zema-transfer ports": the serial ports as a table or JSON, or, with
// --link, one of them made a COM number. Returns the exit status.
#pragma once

#include "cli/cli_options.h"

namespace zema {

int RunPortsCommand(const CliOptions& options);

}  // namespace zema
