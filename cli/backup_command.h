// zema-transfer backup: every sensor of an inventory backed up side by
// side, one worker thread per sensor (at most --jobs at once), each into
// a dated folder of its own. Exit status 0 when every sensor was backed up,
// 1 when any was not, 2 for an inventory that cannot be used.
#pragma once

#include "cli/cli_options.h"

namespace zema {

int RunBackupCommand(const CliOptions& options);

}  // namespace zema
