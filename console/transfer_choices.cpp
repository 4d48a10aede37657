#include "console/transfer_choices.h"

#include "res/dialog_templates.h"

namespace zema {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

// Both systems' notations are looked at: a name typed on Windows may use
// either separator, and a drive letter is a root there.
bool StartsAtARoot(const std::string& name) {
  return IsSeparator(name.front()) || (name.size() >= 2 && name[1] == ':');
}

}  // namespace

std::string BaseNameIn(const std::string& folder, const std::string& baseName) {
  if (folder.empty() || baseName.empty() || StartsAtARoot(baseName)) return baseName;
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  if (IsSeparator(folder.back())) return folder + baseName;
  return folder + kSeparator + baseName;
}

void FillTransferTarget(const DialogControls& controls, int direction, TransferTarget& target,
                        const std::string& bareNameFolder) {
  target.direction = direction;
  target.baseName = BaseNameIn(bareNameFolder, controls.ControlText(kCtlBaseName));
  target.commonParams = controls.IsChecked(kCtlCommonParams) ? 1 : 0;
  target.brightComp = controls.IsChecked(kCtlBrightComp) ? 1 : 0;
  target.bankParams = controls.IsChecked(kCtlBankParams) ? 1 : 0;
  target.patterns = controls.IsChecked(kCtlPatterns) ? 1 : 0;
  target.startBank = controls.ListSelection(kCtlStartBank);
  target.endBank = controls.ListSelection(kCtlEndBank);
}

}  // namespace zema
