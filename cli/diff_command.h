// zema-transfer diff OLD NEW: what changed between two backups of a
// sensor. Exit status as diff(1)'s: 0 the same, 1 changed, 2 trouble (a
// folder that is no good backup, a change image that cannot be written).
#pragma once

#include "cli/cli_options.h"

namespace zema {

int RunDiffCommand(const CliOptions& options);

}  // namespace zema
