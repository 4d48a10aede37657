#include "console/loader_dialog.h"

#include <QLineEdit>
#include <QPixmap>

#include "console/com_mode.h"
#include "console/connection_control.h"
#include "console/transfer_choices.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "res/program_icon.h"
#include "transfer/comu_dlg.h"

namespace {

// Choices of a first start, before any settings were saved: COM1,
// "57600 (5)", banks 0 to 14, the three visible data kinds ticked,
// "PC LOAD/SAVE" mode, base name "Untitled".
struct InitialChoices {
  int portIndex = 0;
  int speedIndex = 4;
  int startBank = 0;
  int endBank = 14;
  bool commonParams = true;
  bool brightComp = true;
  bool bankParams = true;
  bool patterns = false;
  bool commandMode = false;
  const char* baseName = "Untitled";
};

}  // namespace

CLoaderDlg::CLoaderDlg(QWidget* parent)
    : TemplateDialog(MainDialogTemplate(), parent),
      icon_(QPixmap(kProgramIconXpm)),
      controls_(*this),
      dialogs_(this) {
  connect(this, &TemplateDialog::ControlClicked, this, &CLoaderDlg::OnControlClicked);
  OnInitDialog();
}

void CLoaderDlg::OnInitDialog() {
  setWindowIcon(icon_);
  SetInitialChoices();
  OnComModeBox();
  SelectFileNamePart();
  // The port list, the first control, takes the keyboard focus; READ, WRITE
  // and RUN stay disabled as created.
  controls_.SetFocusTo(kCtlPortList);
}

void CLoaderDlg::SetInitialChoices() {
  const InitialChoices choices;
  controls_.SetListSelection(kCtlPortList, choices.portIndex);
  controls_.SetListSelection(kCtlSpeedList, choices.speedIndex);
  controls_.SetListSelection(kCtlStartBank, choices.startBank);
  controls_.SetListSelection(kCtlEndBank, choices.endBank);
  controls_.SetChecked(kCtlCommonParams, choices.commonParams);
  controls_.SetChecked(kCtlBrightComp, choices.brightComp);
  controls_.SetChecked(kCtlBankParams, choices.bankParams);
  controls_.SetChecked(kCtlPatterns, choices.patterns);
  controls_.SetChecked(kCtlComModeBox, choices.commandMode);
  controls_.SetControlText(kCtlBaseName, choices.baseName);
  g_portNo = choices.portIndex + 1;
}

void CLoaderDlg::SelectFileNamePart() {
  auto* field = ControlAs<QLineEdit>(kCtlBaseName);
  if (field == nullptr) return;
  const QString text = field->text();
  // The name starts after the last folder separator; a Windows path uses
  // backslashes, a path on this system slashes.
  const qsizetype start =
      std::max(text.lastIndexOf(QLatin1Char('\\')), text.lastIndexOf(QLatin1Char('/'))) + 1;
  field->setSelection(static_cast<int>(start), static_cast<int>(text.size() - start));
}

void CLoaderDlg::OnControlClicked(int id) {
  if (handlerRunning_) return;
  handlerRunning_ = true;
  switch (id) {
    case kCtlComModeBox:
      OnComModeBox();
      break;
    case kCtlConnect:
      OnConnectButton();
      break;
    case kCtlRun:
      OnRunButton();
      break;
    case kCtlRead:
      OnReadButton();
      break;
    case kCtlWrite:
      OnWriteButton();
      break;
    case kCtlExit:
      OnExitButton();
      break;
    default:
      break;
  }
  handlerRunning_ = false;
}

void CLoaderDlg::OnComModeBox() { ApplyComMode(controls_); }

void CLoaderDlg::OnConnectButton() {
  ConnectSensor(controls_.ListSelection(kCtlPortList), controls_.IsChecked(kCtlComModeBox),
                controls_.ListSelection(kCtlSpeedList), controls_, dialogs_);
}

void CLoaderDlg::OnRunButton() { ResumeSensor(controls_, dialogs_); }

void CLoaderDlg::OnReadButton() { RunTransferDialog(kDirectionRead); }

void CLoaderDlg::OnWriteButton() {
  if (!dialogs_.AskYesNo(LoadMessage(kMsgAgreeOverwriteSettings), kCaptionWarningBang,
                         BoxIcon::Warning)) {
    return;
  }
  RunTransferDialog(kDirectionWrite);
}

// The progress dialog runs modally on the port CONNECT opened; whatever way
// the run ends, the main dialog stays connected.
void CLoaderDlg::RunTransferDialog(int direction) {
  FillTransferTarget(controls_, direction, g_transferTarget);
  CComuDlg progress(g_portNo, g_transferTarget, nullptr, this);
  progress.exec();
}

void CLoaderDlg::OnExitButton() {
  if (!dialogs_.AskYesNo(LoadMessage(kMsgAgreeToExit), kCaptionQuestion, BoxIcon::Question)) {
    return;
  }
  accept();
}
