#include "console/connection_control.h"

#include <iterator>

#include "link/commands.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"

int g_portNo = 0;

namespace {

// Parity field (bits 8-10) = 1: no parity. The speed code goes in bits 0-3.
constexpr std::uint32_t kNoParity = 0x100;

// Speed codes of the LineMode word for the speed list entries, whose number
// in parentheses is the sensor's own COMMUNIC setting.
constexpr int kSpeedCodes[] = {6, 7, 9, 10, 12};  // 4800 .. 57600 baud

void EnterConnectedState(DialogControls& controls) {
  controls.EnableControl(kCtlPortList, false);
  controls.EnableControl(kCtlComModeBox, false);
  controls.EnableControl(kCtlSpeedList, false);
  controls.EnableControl(kCtlConnect, false);
  controls.EnableControl(kCtlRead, true);
  controls.EnableControl(kCtlWrite, true);
  controls.EnableControl(kCtlRun, true);
  controls.SetFocusTo(kCtlRun);
}

void EnterDisconnectedState(DialogControls& controls) {
  controls.EnableControl(kCtlPortList, true);
  controls.EnableControl(kCtlComModeBox, true);
  controls.EnableControl(kCtlSpeedList, controls.IsChecked(kCtlComModeBox));
  controls.EnableControl(kCtlConnect, true);
  controls.EnableControl(kCtlRead, false);
  controls.EnableControl(kCtlWrite, false);
  controls.EnableControl(kCtlRun, false);
  controls.SetFocusTo(kCtlConnect);
}

// Command mode: stop the sensor's operation and switch it into PC
// communication mode. False when the operator declined or the speed choice
// is invalid; the port is then closed.
bool SwitchToPcMode(int speedListIndex, OperatorDialogs& dialogs) {
  if (!dialogs.AskYesNo(LoadMessage(kMsgAgreeStopOperation), kCaptionWarning,
                        BoxIcon::Warning)) {
    ComClose(g_portNo);
    return false;
  }
  const std::uint32_t lineMode = CommandModeLineMode(speedListIndex);
  if (lineMode == 0) {
    dialogs.ShowError(LoadMessage(kMsgBaudRateInvalid));
    ComClose(g_portNo);
    return false;
  }
  ComSetMode(g_portNo, lineMode);
  ComPurgeRx(g_portNo);
  if (EnterPcMode(g_portNo) == 1) return true;

  // The sensor did not answer the handshake: the operator may have put it
  // into "PC LOAD/SAVE" by hand meanwhile, in which case the link is
  // confirmed on the speed already set.
  if (!dialogs.AskYesNo(g_lastError + LoadMessage(kMsgIfPcLoadSave), kCaptionError,
                        BoxIcon::Warning)) {
    ComClose(g_portNo);
    return false;
  }
  return true;
}

}  // namespace

std::uint32_t CommandModeLineMode(int speedListIndex) {
  if (speedListIndex < 0 || speedListIndex >= static_cast<int>(std::size(kSpeedCodes))) {
    return 0;
  }
  return kNoParity + static_cast<std::uint32_t>(kSpeedCodes[speedListIndex]);
}

bool ConnectSensor(int portListIndex, bool commandMode, int speedListIndex,
                   DialogControls& controls, OperatorDialogs& dialogs) {
  g_portNo = portListIndex + 1;
  if (ComOpen(g_portNo, kPortQueueBytes, kPortQueueBytes) != kOpenOk) {
    dialogs.ShowError(LoadMessage(kMsgComOpenFailed));
    return false;
  }

  if (commandMode) {
    if (!SwitchToPcMode(speedListIndex, dialogs)) return false;
  } else {
    ComSetMode(g_portNo, kLineMode57600NoParity);
  }

  ComPurgeRx(g_portNo);
  if (Exchange(g_portNo, kCmdConfirm) != 1) {
    dialogs.ShowError(g_lastError);
    ComClose(g_portNo);
    return false;
  }
  EnterConnectedState(controls);
  return true;
}

void ResumeSensor(DialogControls& controls, OperatorDialogs& dialogs) {
  if (Exchange(g_portNo, kCmdResume) != 1) dialogs.ShowError(g_lastError);
  ComClose(g_portNo);
  EnterDisconnectedState(controls);
}
