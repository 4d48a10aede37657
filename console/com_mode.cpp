#include "console/com_mode.h"

#include "res/dialog_templates.h"
#include "res/messages.h"

namespace zema {

namespace {
// "57600 (5)": the sensor's fixed speed in its "PC LOAD/SAVE" menu mode.
constexpr int kPcLoadSaveSpeedIndex = 4;
}  // namespace

void ApplyComMode(DialogControls& controls) {
  const bool commandMode = controls.IsChecked(kCtlComModeBox);
  controls.EnableControl(kCtlSpeedList, commandMode);
  if (!commandMode) controls.SetListSelection(kCtlSpeedList, kPcLoadSaveSpeedIndex);
  controls.EnableControl(kCtlComModeNote, commandMode);
  controls.EnableControl(kCtlLoadSaveHint, !commandMode);
  controls.SetControlText(kCtlConnect, LoadMessage(commandMode ? kMsgConnectStopZema
                                                                : kMsgConfirmCommunication));
}

}  // namespace zema
