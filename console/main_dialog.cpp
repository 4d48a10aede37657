#include "console/main_dialog.h"

#include <utility>

#include "console/base_name_choice.h"
#include "console/com_mode.h"
#include "console/connection_control.h"
#include "console/connection_states.h"
#include "console/settings_file.h"
#include "console/transfer_choices.h"
#include "frontend/file_picker.h"
#include "frontend/operator_dialogs.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "transfer/progress_dialog.h"

CLoaderDlg::CLoaderDlg(std::string settingsPath, std::string bareNameFolder)
    : settingsPath_(std::move(settingsPath)), bareNameFolder_(std::move(bareNameFolder)) {}

const DialogTemplate& CLoaderDlg::Template() const { return MainDialogTemplate(); }

void CLoaderDlg::OnInitDialog(DialogWindow& window) {
  window_ = &window;
  window.SetProgramIcon();
  LoadSettings(settingsPath_, window);
  OnComModeBox();
  SelectFileNamePart();
  // The port list, the first control, takes the keyboard focus; READ, WRITE
  // and RUN stay disabled as created.
  window.SetFocusTo(kCtlPortList);
}

void CLoaderDlg::SelectFileNamePart() {
  const std::string text = window_->ControlText(kCtlBaseName);
  window_->SelectText(kCtlBaseName, FileNamePartStart(text), text.size());
}

void CLoaderDlg::OnCommand(int controlId) {
  if (handlerRunning_) return;
  handlerRunning_ = true;
  Dispatch(controlId);
  handlerRunning_ = false;
}

void CLoaderDlg::Dispatch(int controlId) {
  switch (controlId) {
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
    case kCtlRef:
      OnRefButton();
      break;
    case kCtlExit:
      OnExitButton();
      break;
    default:
      break;
  }
}

// Esc and the close box: the dialog ends at once, the settings unsaved. Not
// while a handler runs: a question or the progress dialog is then in front.
void CLoaderDlg::OnCancel() {
  if (handlerRunning_) return;
  handlerRunning_ = true;
  OfferResumeBeforeLeaving();
  handlerRunning_ = false;
  window_->EndDialog(kDialogResultCancel);
}

// A sensor that CONNECT stopped stays stopped until it is sent back to RUN:
// leaving while connected asks first. Yes runs RUN (its failure is shown,
// and the program ends all the same); No leaves the sensor as it is.
void CLoaderDlg::OfferResumeBeforeLeaving() {
  if (!link_.IsOpen()) return;
  if (window_->Boxes().AskYesNo(kMsgResumeBeforeExit, LoadMessage(kMsgResumeBeforeExit),
                                kCaptionWarning, BoxIcon::Warning)) {
    OnRunButton();
  }
}

void CLoaderDlg::OnComModeBox() { ApplyComMode(*window_); }

void CLoaderDlg::OnConnectButton() {
  DialogWindow& window = *window_;
  ConnectionOutcome outcome =
      ConnectSensor(window.ListSelection(kCtlPortList), window.IsChecked(kCtlComModeBox),
                    window.ListSelection(kCtlSpeedList), window.Boxes());
  if (ApplyConnectOutcome(outcome, window, window.Boxes())) link_ = std::move(outcome.link);
}

void CLoaderDlg::OnRunButton() {
  ApplyResumeOutcome(ResumeSensor(link_), *window_, window_->Boxes());
}

void CLoaderDlg::OnReadButton() { RunTransferDialog(kDirectionRead); }

void CLoaderDlg::OnWriteButton() {
  if (!window_->Boxes().AskYesNo(kMsgAgreeOverwriteSettings,
                                 LoadMessage(kMsgAgreeOverwriteSettings), kCaptionWarningBang,
                                 BoxIcon::Warning)) {
    return;
  }
  RunTransferDialog(kDirectionWrite);
}

// The progress dialog runs modally on the port CONNECT opened. The main
// dialog stays connected after the run, unless the port's device went away
// during it: then it is disconnected, so that CONNECT works at once.
void CLoaderDlg::RunTransferDialog(int direction) {
  TransferTarget target;
  FillTransferTarget(*window_, direction, target, bareNameFolder_);
  CComuDlg progress(link_, std::move(target));
  window_->RunModal(progress);
  if (CloseVanishedPort(link_)) EnterDisconnectedState(*window_);
}

void CLoaderDlg::OnRefButton() {
  std::string chosen;
  const std::string folder =
      InitialFolderOf(BaseNameIn(bareNameFolder_, window_->ControlText(kCtlBaseName)));
  if (!window_->FileOpenDialog().PickFile(kBaseNameFilters, folder, chosen)) return;
  window_->SetControlText(kCtlBaseName, CutTransferSuffix(chosen));
  SelectFileNamePart();
}

void CLoaderDlg::OnExitButton() {
  if (!window_->Boxes().AskYesNo(kMsgAgreeToExit, LoadMessage(kMsgAgreeToExit), kCaptionQuestion,
                                 BoxIcon::Question)) {
    return;
  }
  OfferResumeBeforeLeaving();
  // A failed save has been reported; the program ends all the same.
  SaveSettings(settingsPath_, *window_, window_->Boxes());
  window_->EndDialog(kDialogResultOk);
}
