#include "console/connection_states.h"

#include "res/dialog_templates.h"

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

bool ApplyConnectOutcome(const ConnectionOutcome& outcome, DialogControls& controls,
                         OperatorDialogs& dialogs) {
  if (outcome.toReport() && outcome.failure) {
    dialogs.ShowError(outcome.failure->text, outcome.failure->detail);
  }
  if (!outcome.done()) return false;
  EnterConnectedState(controls);
  return true;
}

void ApplyResumeOutcome(const std::optional<Failure>& failure, DialogControls& controls,
                        OperatorDialogs& dialogs) {
  if (failure) dialogs.ShowError(failure->text, failure->detail);
  EnterDisconnectedState(controls);
}
