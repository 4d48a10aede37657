#include "console/transfer_choices.h"

#include "res/dialog_templates.h"

void FillTransferTarget(const DialogControls& controls, int direction, TransferTarget& target) {
  target.direction = direction;
  target.baseName = controls.ControlText(kCtlBaseName);
  target.commonParams = controls.IsChecked(kCtlCommonParams) ? 1 : 0;
  target.brightComp = controls.IsChecked(kCtlBrightComp) ? 1 : 0;
  target.bankParams = controls.IsChecked(kCtlBankParams) ? 1 : 0;
  target.patterns = controls.IsChecked(kCtlPatterns) ? 1 : 0;
  target.startBank = controls.ListSelection(kCtlStartBank);
  target.endBank = controls.ListSelection(kCtlEndBank);
}
