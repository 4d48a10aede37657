// CLoaderDlg: the main dialog, built from template 102.
//
// The dialog forwards its buttons to the sequences of the console (connection
// control, the com-mode state) through controls-by-id and the message boxes
// of ui/. It starts in the disconnected state with the operator's choices
// set up by OnInitDialog.
#pragma once

#include <QIcon>

#include "ui/qt_dialog_controls.h"
#include "ui/qt_operator_dialogs.h"
#include "ui/template_dialog.h"

class CLoaderDlg : public TemplateDialog {
  Q_OBJECT

 public:
  explicit CLoaderDlg(QWidget* parent = nullptr);

  // The controls and message boxes the sequences act on.
  DialogControls& controls() { return controls_; }
  OperatorDialogs& operatorDialogs() { return dialogs_; }

  // Handlers of the dialog's events.
  void OnInitDialog();
  void OnComModeBox();
  void OnConnectButton();
  void OnRunButton();
  void OnReadButton();
  void OnWriteButton();
  void OnExitButton();

 private:
  void OnControlClicked(int id);
  void SetInitialChoices();
  void SelectFileNamePart();
  void RunTransferDialog(int direction);

  QIcon icon_;
  QtDialogControls controls_;
  QtOperatorDialogs dialogs_;
  // Set while a handler runs: a click that reaches the dialog from inside a
  // message box's event loop must not start a second sequence.
  bool handlerRunning_ = false;
};
