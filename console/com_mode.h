// The controls that follow the com-mode check box of the main dialog.
#pragma once

#include "frontend/dialog_controls.h"

namespace zema {

// Ticked (command mode): the speed list and the command-mode note are
// enabled, the "PC LOAD/SAVE" hint disabled, and CONNECT reads message 104.
// Clear ("PC LOAD/SAVE" mode): the speed list is disabled and set to
// "57600 (5)", the note disabled, the hint enabled, and CONNECT reads
// message 105.
void ApplyComMode(DialogControls& controls);

}  // namespace zema
