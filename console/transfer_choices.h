// READ and WRITE hand the operator's choices on the main dialog to the run.
#pragma once

#include <string>

#include "frontend/dialog_controls.h"
#include "transfer/transfer_target.h"

namespace zema {

// Where the files of a base name that names no folder of its own go:
// `baseName` in `folder`. A name that starts at a root or a drive
// ("/data/line1", "C:\data\line1", "\\server\share\line1", "C:line1") is
// kept, and so is every name when `folder` is empty (the current folder);
// so is an empty name, which the run refuses. A relative folder in the name
// ("lines\line1") lies in `folder` too.
std::string BaseNameIn(const std::string& folder, const std::string& baseName);

// Copies the main dialog's choices into `target` for a run in `direction`:
// the base name field (in `bareNameFolder`, see BaseNameIn), the four
// data-kind boxes and the two bank lists. Nothing is validated here; the run
// itself deals with an empty selection, an empty bank range or a base name
// it cannot use.
void FillTransferTarget(const DialogControls& controls, int direction, TransferTarget& target,
                        const std::string& bareNameFolder = {});

}  // namespace zema
