// READ, before anything is sent: every file the run is to write is looked at
// as the staged writer will look at it when the file's turn comes. A file
// that cannot be written (a missing folder, a read-only file, a folder or
// FIFO of its name, a link that is not followed) is known now; found at its
// turn, it would end the run after the sensor had been read.
#pragma once

#include <optional>

#include "formats/write_target.h"
#include "transfer/transfer_steps.h"

// The first selected file of a READ of `target` that cannot be written, with
// why; none when every file may be written (or asked about at its turn).
std::optional<WriteTarget> FirstUnwritableReadTarget(const TransferTarget& target);

// Failed, with message 120 and a detail line that names the file (or its
// missing folder) and why, at the first selected file that cannot be
// written. An existing file that may be written passes: whether to replace
// it is asked at its turn.
void CheckReadTargets(TransferRun& run);
