#include "console/connection_control.h"

#include <iterator>

#include "link/commands.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"

int g_portNo = 0;

namespace {

using Result = ConnectionOutcome::Result;

// Parity field (bits 8-10) = 1: no parity. The speed code goes in bits 0-3.
constexpr std::uint32_t kNoParity = 0x100;

// Speed codes of the LineMode word for the speed list entries, whose number
// in parentheses is the sensor's own COMMUNIC setting.
constexpr int kSpeedCodes[] = {6, 7, 9, 10, 12};  // 4800 .. 57600 baud

ConnectionOutcome Failure(int message, const std::string& detail = std::string()) {
  return {Result::Failed, message, LoadMessage(message), detail};
}

// The link failure the last exchange left behind.
ConnectionOutcome LinkFailure(Result result = Result::Failed) {
  return {result, g_lastErrorMessage, g_lastError, g_lastErrorDetail};
}

// Command mode: stop the sensor's operation and switch it into PC
// communication mode. Done, or why not; the port is then closed.
ConnectionOutcome SwitchToPcMode(int speedListIndex, OperatorDialogs& dialogs) {
  if (!dialogs.AskYesNo(kMsgAgreeStopOperation, LoadMessage(kMsgAgreeStopOperation),
                        kCaptionWarning, BoxIcon::Warning)) {
    ComClose(g_portNo);
    return {Result::Declined, kMsgAgreeStopOperation, {}, {}};
  }
  const std::uint32_t lineMode = CommandModeLineMode(speedListIndex);
  if (lineMode == 0) {
    ComClose(g_portNo);
    return Failure(kMsgBaudRateInvalid);
  }
  ComSetMode(g_portNo, lineMode);
  ComPurgeRx(g_portNo);
  if (EnterPcMode(g_portNo) == 1) return {};

  // The sensor did not answer the handshake: the operator may have put it
  // into "PC LOAD/SAVE" by hand meanwhile, in which case the link is
  // confirmed on the speed already set.
  if (!dialogs.AskYesNo(kMsgIfPcLoadSave, g_lastError + LoadMessage(kMsgIfPcLoadSave),
                        kCaptionError, BoxIcon::Warning)) {
    ComClose(g_portNo);
    return LinkFailure(Result::Declined);
  }
  return {};
}

}  // namespace

std::uint32_t CommandModeLineMode(int speedListIndex) {
  if (speedListIndex < 0 || speedListIndex >= static_cast<int>(std::size(kSpeedCodes))) {
    return 0;
  }
  return kNoParity + static_cast<std::uint32_t>(kSpeedCodes[speedListIndex]);
}

ConnectionOutcome ConnectSensor(int portListIndex, bool commandMode, int speedListIndex,
                                OperatorDialogs& dialogs) {
  g_portNo = portListIndex + 1;
  if (ComOpen(g_portNo, kPortQueueBytes, kPortQueueBytes) != kOpenOk) {
    return Failure(kMsgComOpenFailed, ComOpenFailureDetail());
  }

  if (commandMode) {
    ConnectionOutcome switched = SwitchToPcMode(speedListIndex, dialogs);
    if (!switched.done()) return switched;
  } else {
    ComSetMode(g_portNo, kLineMode57600NoParity);
  }

  ComPurgeRx(g_portNo);
  if (Exchange(g_portNo, kCmdConfirm) != 1) {
    ComClose(g_portNo);
    return LinkFailure();
  }
  return {};
}

ConnectionOutcome ResumeSensor() {
  ConnectionOutcome outcome;
  if (Exchange(g_portNo, kCmdResume) != 1) outcome = LinkFailure();
  ComClose(g_portNo);
  return outcome;
}

bool SensorConnected() { return !ComIsUnusable(g_portNo); }

bool CloseVanishedPort() {
  if (ComLineGoneDetail(g_portNo).empty()) return false;
  ComClose(g_portNo);
  return true;
}
