// CLoaderDlg: the main dialog, built from template 102.
//
// The dialog forwards its buttons to the sequences of the console (settings
// file, connection control, the com-mode state, the base name choice)
// through controls-by-id, the message boxes of ui/ and a file picker. It
// starts in the disconnected state with the choices of the settings file.
//
// EXIT (and Enter) asks, saves the settings and ends the dialog; Esc and the
// close box end it at once without saving.
#pragma once

#include <QIcon>
#include <memory>
#include <string>

#include "frontend/file_picker.h"
#include "ui/qt_dialog_controls.h"
#include "ui/qt_operator_dialogs.h"
#include "ui/template_dialog.h"

class CLoaderDlg : public TemplateDialog {
  Q_OBJECT

 public:
  // Reads and later writes the settings file at `settingsPath`. Ref. asks
  // `picker`, or a file-open dialog of this dialog when it is null.
  explicit CLoaderDlg(std::string settingsPath, FilePicker* picker = nullptr,
                      QWidget* parent = nullptr);
  ~CLoaderDlg() override;

  // The controls and message boxes the sequences act on.
  DialogControls& controls() { return controls_; }
  OperatorDialogs& operatorDialogs() { return dialogs_; }
  const std::string& settingsPath() const { return settingsPath_; }

  // Handlers of the dialog's events.
  void OnInitDialog();
  void OnComModeBox();
  void OnConnectButton();
  void OnRunButton();
  void OnReadButton();
  void OnWriteButton();
  void OnRefButton();
  void OnExitButton();

 private:
  void OnControlClicked(int id);
  void SelectFileNamePart();
  void RunTransferDialog(int direction);

  std::string settingsPath_;
  QIcon icon_;
  QtDialogControls controls_;
  QtOperatorDialogs dialogs_;
  std::unique_ptr<FilePicker> ownPicker_;
  FilePicker& picker_;
  // Set while a handler runs: a click that reaches the dialog from inside a
  // message box's event loop must not start a second sequence.
  bool handlerRunning_ = false;
};
