#include "console/loader_dialog.h"

#include <QLineEdit>
#include <utility>

#include "console/base_name_choice.h"
#include "console/com_mode.h"
#include "console/connection_control.h"
#include "console/connection_states.h"
#include "console/settings_file.h"
#include "console/transfer_choices.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "res/program_icon.h"
#include "transfer/comu_dlg.h"
#include "ui/qt_file_picker.h"

namespace {

FilePicker& ChoosePicker(FilePicker* given, std::unique_ptr<FilePicker>& own, QWidget* owner) {
  if (given != nullptr) return *given;
  own = std::make_unique<QtFilePicker>(owner);
  return *own;
}

}  // namespace

CLoaderDlg::CLoaderDlg(std::string settingsPath, FilePicker* picker, QWidget* parent)
    : TemplateDialog(MainDialogTemplate(), parent),
      settingsPath_(std::move(settingsPath)),
      icon_(QString::fromLatin1(kProgramIconResource)),
      controls_(*this),
      dialogs_(this),
      picker_(ChoosePicker(picker, ownPicker_, this)) {
  connect(this, &TemplateDialog::ControlClicked, this, &CLoaderDlg::OnControlClicked);
  OnInitDialog();
}

CLoaderDlg::~CLoaderDlg() = default;

void CLoaderDlg::OnInitDialog() {
  setWindowIcon(icon_);
  LoadSettings(settingsPath_, controls_);
  OnComModeBox();
  SelectFileNamePart();
  // The port list, the first control, takes the keyboard focus; READ, WRITE
  // and RUN stay disabled as created.
  controls_.SetFocusTo(kCtlPortList);
}

void CLoaderDlg::SelectFileNamePart() {
  auto* field = ControlAs<QLineEdit>(kCtlBaseName);
  if (field == nullptr) return;
  const std::string text = field->text().toStdString();
  // The separators are ASCII, so the name part starts after as many UTF-16
  // units as the text before it has.
  const auto start = QString::fromStdString(text.substr(0, FileNamePartStart(text))).size();
  field->setSelection(static_cast<int>(start), static_cast<int>(field->text().size() - start));
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
    case kCtlRef:
      OnRefButton();
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
  ApplyConnectOutcome(
      ConnectSensor(controls_.ListSelection(kCtlPortList), controls_.IsChecked(kCtlComModeBox),
                    controls_.ListSelection(kCtlSpeedList), dialogs_),
      controls_, dialogs_);
}

void CLoaderDlg::OnRunButton() { ApplyResumeOutcome(ResumeSensor(), controls_, dialogs_); }

void CLoaderDlg::OnReadButton() { RunTransferDialog(kDirectionRead); }

void CLoaderDlg::OnWriteButton() {
  if (!dialogs_.AskYesNo(kMsgAgreeOverwriteSettings, LoadMessage(kMsgAgreeOverwriteSettings),
                         kCaptionWarningBang,
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

void CLoaderDlg::OnRefButton() {
  std::string chosen;
  if (!picker_.PickFile(kBaseNameFilters, chosen)) return;
  controls_.SetControlText(kCtlBaseName, CutTransferSuffix(chosen));
  SelectFileNamePart();
}

void CLoaderDlg::OnExitButton() {
  if (!dialogs_.AskYesNo(kMsgAgreeToExit, LoadMessage(kMsgAgreeToExit), kCaptionQuestion,
                         BoxIcon::Question)) {
    return;
  }
  // A failed save has been reported; the program ends all the same.
  SaveSettings(settingsPath_, controls_, dialogs_);
  accept();
}
