// CLoaderDlg: the main dialog, built from template 102.
//
// Its handlers forward the buttons to the sequences of the console (settings
// file, connection control, the com-mode state, the base name choice) and
// run the progress dialog for READ and WRITE; the window that shows it is
// reached only through DialogWindow, so every toolkit shell and the tests
// drive the same handlers. It starts in the disconnected state with the
// choices of the settings file.
//
// EXIT (and Enter) asks, saves the settings and ends the dialog; Esc and the
// close box end it at once without saving. Either way, while connected, the
// operator is first offered to send the sensor back to RUN.
#pragma once

#include <string>

#include "frontend/dialog_window.h"
#include "link/sensor_link.h"

class CLoaderDlg : public DialogHandlers {
 public:
  // Reads and later writes the settings file at `settingsPath`. The files of
  // a base name without a folder lie in `bareNameFolder` (the current folder
  // when empty).
  explicit CLoaderDlg(std::string settingsPath, std::string bareNameFolder = {});

  const std::string& settingsPath() const { return settingsPath_; }

  // DialogHandlers
  const DialogTemplate& Template() const override;
  void OnInitDialog(DialogWindow& window) override;
  void OnCommand(int controlId) override;
  void OnCancel() override;

  // Handlers of the dialog's buttons and check box; OnCommand dispatches
  // the clicks to them.
  void OnComModeBox();
  void OnConnectButton();
  void OnRunButton();
  void OnReadButton();
  void OnWriteButton();
  void OnRefButton();
  void OnExitButton();

 private:
  void Dispatch(int controlId);
  void SelectFileNamePart();
  void RunTransferDialog(int direction);
  void OfferResumeBeforeLeaving();

  std::string settingsPath_;
  std::string bareNameFolder_;
  DialogWindow* window_ = nullptr;
  // Open between CONNECT and RUN: the dialog is connected.
  SensorLink link_;
  // Set while a handler runs: a click that reaches the dialog from inside a
  // message box's event loop must not start a second sequence.
  bool handlerRunning_ = false;
};
