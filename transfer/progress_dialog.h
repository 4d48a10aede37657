// CComuDlg: the progress dialog (template 131), which performs one transfer
// run and shows it.
//
// 300 ms after the dialog's initialisation its timer runs the whole transfer
// synchronously, on the user-interface thread. Between two image blocks the
// run lets waiting events through, so CANCEL (which only sets the run's
// cancelState) stops it after the current block. The close box and Esc act
// as CANCEL while the run is going on; a run never goes on behind a hidden
// window. After the finish, OK (or the close box) closes the dialog.
//
// The dialog is the run's view: it forwards what the run shows to the window
// it was given in OnInitDialog.
#pragma once

#include <optional>

#include "frontend/dialog_window.h"
#include "frontend/run_view.h"
#include "transfer/transfer_run.h"

class CComuDlg : public DialogHandlers, public RunView {
 public:
  // The start timer and its delay after the dialog's initialisation.
  static constexpr int kStartTimerId = 1;
  static constexpr int kStartDelayMs = 300;

  // Runs `target` over the open link.
  CComuDlg(SensorLink& link, TransferTarget target);

  bool isRunning() const { return running_; }
  // The run the dialog performs; empty before the dialog's initialisation.
  const std::optional<TransferRun>& run() const { return run_; }
  // How the run ended; empty until it has.
  std::optional<RunEnd> runEnd() const { return runEnd_; }

  // DialogHandlers
  const DialogTemplate& Template() const override;
  void OnInitDialog(DialogWindow& window) override;
  void OnCommand(int controlId) override;
  void OnCancel() override;
  void OnTimer(int timerId) override;

  // RunView
  void SetStepLine(const std::string& text) override;
  void SetDetailLine(const std::string& text) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void ShowWindow() override;
  void PumpPendingEvent() override;
  void OfferOk() override;
  void EndDialog(int result) override;

 private:
  void OnCancelButton();

  SensorLink& link_;
  TransferTarget target_;
  DialogWindow* window_ = nullptr;
  std::optional<TransferRun> run_;
  bool running_ = false;
  std::optional<RunEnd> runEnd_;
};
