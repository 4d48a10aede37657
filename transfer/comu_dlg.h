// The progress dialog (template 131): performs one transfer run and shows it.
//
// 300 ms after the dialog is first shown it runs the whole transfer
// synchronously, on the user-interface thread. Between two image blocks the
// run lets waiting events through, so CANCEL (which only sets
// g_cancelState) stops it after the current block. The close box and Esc act
// as CANCEL while the run is going on; a run never goes on behind a hidden
// window. After the finish, OK (or the close box) closes the dialog.
#pragma once

#include <QTimer>
#include <memory>
#include <optional>

#include "frontend/run_view.h"
#include "transfer/transfer_run.h"
#include "ui/qt_dialog_controls.h"
#include "ui/template_dialog.h"

class QtOperatorDialogs;

class CComuDlg : public TemplateDialog, public RunView {
  Q_OBJECT

 public:
  // Start delay of the run after the dialog is shown.
  static constexpr int kStartDelayMs = 300;

  // Runs `target` over the open port. The questions and the error box go
  // to `dialogs`, or to message boxes of this dialog when it is null.
  CComuDlg(int port, const TransferTarget& target, OperatorDialogs* dialogs = nullptr,
           QWidget* parent = nullptr);
  ~CComuDlg() override;

  bool isRunning() const { return running_; }
  // How the run ended; empty until it has.
  std::optional<RunEnd> runEnd() const { return runEnd_; }

  // RunView
  void SetStepLine(const std::string& text) override;
  void SetDetailLine(const std::string& text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void ShowWindow() override;
  void PumpPendingEvent() override;
  void OfferOk() override;
  void EndDialog(int result) override;

 public slots:
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private slots:
  void OnTimer();
  void OnControlClicked(int id);

 private:
  void OnCancelButton();

  int port_;
  const TransferTarget& target_;
  std::unique_ptr<QtOperatorDialogs> ownDialogs_;
  OperatorDialogs& dialogs_;
  QtDialogControls controls_;
  QTimer startTimer_;
  bool timerStarted_ = false;
  bool running_ = false;
  std::optional<RunEnd> runEnd_;
};
