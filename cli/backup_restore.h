// zema-transfer write --backup FOLDER: a WRITE from a backup folder (or
// "<sensor folder>/latest"), whose every file is checked against its
// manifest before the sensor is touched.
#pragma once

#include "cli/cli_options.h"

namespace zema {

// Resolves and verifies options.backup and turns it into the base name and
// selection of an ordinary WRITE: everything the backup holds, or the part
// of it the options name. Returns kExitDone when the run may start; else
// the reason is printed and the exit status returned (a damaged backup
// is refused as a damaged file is: 1).
int PrepareBackupWrite(CliOptions& options);

}  // namespace zema
