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
#include <optional>

#include "frontend/operator_dialogs.h"
#include "link/failure.h"
#include "link/sensor_link.h"

// LineMode word for command mode: speed list index 0..4 ("4800 (1)" ..
// "57600 (5)") selects 4800, 9600, 19200, 38400 or 57600 baud with no
// parity, leaving everything else as ComOpen set it. 0 for any other index.
std::uint32_t CommandModeLineMode(int speedListIndex);

struct ConnectionOutcome {
  enum class Result {
    Done,      // connected: `link` is open
    Failed,    // the operator is to be shown `failure`
    Declined,  // the operator answered No to 107 or 109; nothing to show
  };
  Result result = Result::Done;
  // Failed: what the operator sees; Declined after 109: the failure behind it.
  std::optional<Failure> failure;
  SensorLink link;

  bool done() const { return result == Result::Done; }
  // True when the caller is to show `failure` in an error box.
  bool toReport() const { return result == Result::Failed; }
};

// CONNECT. Opens port (portListIndex + 1); in command mode asks message 107,
// sets the chosen speed and switches the sensor with the handshake (asking
// message 109 when it does not answer), in "PC LOAD/SAVE" mode runs at
// 57600 baud; then confirms the link with command 0x88. Done: the link
// holds the open port. Otherwise the port is closed again (or was never
// opened).
ConnectionOutcome ConnectSensor(int portListIndex, bool commandMode, int speedListIndex,
                                OperatorDialogs& dialogs);

// RUN. Sends command 0x87 on `link` and closes it, in every case; the
// link's failure when the sensor did not acknowledge it.
std::optional<Failure> ResumeSensor(SensorLink& link);

// After a run that failed because the port's device went away (an adapter
// pulled out, a lost network connection): closes the link, which can never
// answer again, so that CONNECT opens the device anew once it is back, and
// returns true. A plain time-out with the device still there keeps the
// connection: false.
bool CloseVanishedPort(SensorLink& link);
