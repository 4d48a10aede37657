#include "transfer/progress_dialog.h"

#include <utility>

#include "frontend/operator_dialogs.h"
#include "res/dialog_templates.h"

CComuDlg::CComuDlg(SensorLink& link, TransferTarget target)
    : link_(link), target_(std::move(target)) {}

const DialogTemplate& CComuDlg::Template() const { return ProgressDialogTemplate(); }

void CComuDlg::OnInitDialog(DialogWindow& window) {
  window_ = &window;
  run_.emplace(TransferRun{target_, link_, *this, window.Boxes()});
  window.StartTimer(kStartTimerId, kStartDelayMs);
}

void CComuDlg::OnTimer(int timerId) {
  window_->KillTimer(timerId);
  // Events let through during the run could reach here again; one run per
  // dialog.
  if (running_ || runEnd_) return;
  running_ = true;
  runEnd_ = RunTransfer(*run_);
  running_ = false;
}

void CComuDlg::OnCommand(int controlId) {
  if (controlId == kCtlCancel) {
    OnCancelButton();
  } else if (controlId == kCtlOk && !running_) {
    window_->EndDialog(kDialogResultOk);
  }
}

void CComuDlg::OnCancelButton() {
  if (run_) run_->cancelState = kCancelPressed;
}

// The close box and Esc stop the run like CANCEL; the run then finishes in
// view, and only the dialog's own end closes it.
void CComuDlg::OnCancel() {
  if (running_) {
    OnCancelButton();
    return;
  }
  window_->EndDialog(kDialogResultCancel);
}

void CComuDlg::SetStepLine(const std::string& text) { window_->SetControlText(kCtlStepLine, text); }

void CComuDlg::SetDetailLine(const std::string& text) {
  window_->SetControlText(kCtlDetailLine, text);
}

void CComuDlg::SetProgressRange(int low, int high) {
  window_->SetProgressRange(kCtlProgressBar, low, high);
}

void CComuDlg::SetProgressPosition(int position) {
  window_->SetProgressPosition(kCtlProgressBar, position);
}

void CComuDlg::ShowWindow() { window_->ShowWindow(); }

void CComuDlg::PumpPendingEvent() { window_->PumpPendingEvents(); }

void CComuDlg::OfferOk() {
  window_->EnableControl(kCtlOk, true);
  window_->EnableControl(kCtlCancel, false);
  window_->SetFocusTo(kCtlOk);
}

void CComuDlg::EndDialog(int result) { window_->EndDialog(result); }
