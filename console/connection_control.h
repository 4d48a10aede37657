// Connection control: CONNECT brings the sensor into PC communication mode
// and confirms the link; RUN sends it back to normal operation and closes
// the port.
//
// Both sequences act on the main dialog only through "controls by id" and
// "operator questions and reports", so the dialog, the tests and the
// command line drive the same steps.
#pragma once

#include <cstdint>

#include "console/dialog_controls.h"
#include "console/operator_dialogs.h"

// The port CONNECT opened (port list index + 1; 0 when no port was
// selected). Kept after a failed attempt; RUN and the transfer run use it.
extern int g_portNo;

// Queue sizes passed to ComOpen.
inline constexpr int kPortQueueBytes = 512;

// LineMode word for command mode: speed list index 0..4 ("4800 (1)" ..
// "57600 (5)") selects 4800, 9600, 19200, 38400 or 57600 baud with no
// parity, leaving everything else as ComOpen set it. 0 for any other index.
std::uint32_t CommandModeLineMode(int speedListIndex);

// CONNECT. Opens port (portListIndex + 1); in command mode asks message 107,
// sets the chosen speed and switches the sensor with the handshake (asking
// message 109 when it does not answer), in "PC LOAD/SAVE" mode runs at
// 57600 baud; then confirms the link with command 0x88. On success the port
// stays open and the controls are put into the connected state (true). On
// failure or a declined question the operator has been told what went
// wrong, the port is closed and the controls are unchanged (false).
bool ConnectSensor(int portListIndex, bool commandMode, int speedListIndex,
                   DialogControls& controls, OperatorDialogs& dialogs);

// RUN. Sends command 0x87 on g_portNo (reporting g_lastError when the
// sensor does not acknowledge it), closes the port and puts the controls
// into the disconnected state, in every case.
void ResumeSensor(DialogControls& controls, OperatorDialogs& dialogs);
