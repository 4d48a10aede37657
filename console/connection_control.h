// Connection control: CONNECT brings the sensor into PC communication mode
// and confirms the link; RUN sends it back to normal operation and closes
// the port.
//
// Both sequences ask the operator through "operator questions" and return
// their outcome; they touch no control. The caller reports a failure and
// sets its controls from the outcome (console/connection_states.h), so the
// dialog, the tests and the command line drive the same steps.
#pragma once

#include <cstdint>
#include <string>

#include "frontend/operator_dialogs.h"

// The port CONNECT opened (port list index + 1; 0 when no port was
// selected). Kept after a failed attempt; RUN and the transfer run use it.
extern int g_portNo;

// Queue sizes passed to ComOpen.
inline constexpr int kPortQueueBytes = 512;

// LineMode word for command mode: speed list index 0..4 ("4800 (1)" ..
// "57600 (5)") selects 4800, 9600, 19200, 38400 or 57600 baud with no
// parity, leaving everything else as ComOpen set it. 0 for any other index.
std::uint32_t CommandModeLineMode(int speedListIndex);

struct ConnectionOutcome {
  enum class Result {
    Done,      // CONNECT: connected; RUN: 0x87 acknowledged
    Failed,    // the operator is to be shown `text` (and `detail`)
    Declined,  // the operator answered No to 107 or 109; nothing to show
  };
  Result result = Result::Done;
  int message = 0;     // number of the message `text` was made from
  std::string text;    // what the operator sees; for Declined, the failure behind 109
  std::string detail;  // the system's cause, when it gave one

  bool done() const { return result == Result::Done; }
  // True when the caller is to show `text` in an error box.
  bool toReport() const { return result == Result::Failed; }
};

// CONNECT. Opens port (portListIndex + 1); in command mode asks message 107,
// sets the chosen speed and switches the sensor with the handshake (asking
// message 109 when it does not answer), in "PC LOAD/SAVE" mode runs at
// 57600 baud; then confirms the link with command 0x88. Done: the port
// stays open. Otherwise the port is closed again (or was never opened).
ConnectionOutcome ConnectSensor(int portListIndex, bool commandMode, int speedListIndex,
                                OperatorDialogs& dialogs);

// RUN. Sends command 0x87 on g_portNo and closes the port, in every case;
// Failed with the link's text when the sensor did not acknowledge it.
ConnectionOutcome ResumeSensor();

// True while the port CONNECT opened is open: the console is connected.
bool SensorConnected();

// After a run that failed because the port's device went away (an adapter
// pulled out, a lost network connection): closes the port, which can never
// answer again, so that CONNECT opens the device anew once it is back, and
// returns true. A plain time-out with the device still there keeps the
// connection: false.
bool CloseVanishedPort();
