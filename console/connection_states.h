// The two connection states of the main dialog, as tables of enabled
// controls: CONNECT enters the connected state, RUN the disconnected one.
#pragma once

#include "console/connection_control.h"
#include "frontend/dialog_controls.h"
#include "frontend/operator_dialogs.h"

// Port list, com-mode box, speed list and CONNECT disabled; READ, WRITE and
// RUN enabled; the focus on RUN.
void EnterConnectedState(DialogControls& controls);

// Port list, com-mode box and CONNECT enabled, the speed list only while the
// com-mode box is ticked; READ, WRITE and RUN disabled; the focus on CONNECT.
void EnterDisconnectedState(DialogControls& controls);

// What the main dialog does with CONNECT's outcome: a failure is reported
// (the detail under the text), success enters the connected state, and a
// declined question changes nothing. True when connected.
bool ApplyConnectOutcome(const ConnectionOutcome& outcome, DialogControls& controls,
                         OperatorDialogs& dialogs);

// ... and with RUN's: a failure is reported, then the disconnected state is
// entered in every case.
void ApplyResumeOutcome(const std::optional<Failure>& failure, DialogControls& controls,
                        OperatorDialogs& dialogs);
