// READ and WRITE hand the operator's choices on the main dialog to the run.
#pragma once

#include "frontend/dialog_controls.h"
#include "transfer/transfer_target.h"

// Copies the main dialog's choices into `target` for a run in `direction`:
// the base name field, the four data-kind boxes and the two bank lists.
// Nothing is validated here; the run itself deals with an empty selection,
// an empty bank range or a base name it cannot use.
void FillTransferTarget(const DialogControls& controls, int direction, TransferTarget& target);
