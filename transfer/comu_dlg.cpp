#include "transfer/comu_dlg.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProgressBar>

#include "res/dialog_templates.h"
#include "ui/qt_operator_dialogs.h"

namespace {

OperatorDialogs& ChooseDialogs(OperatorDialogs* given, std::unique_ptr<QtOperatorDialogs>& own,
                               QWidget* owner) {
  if (given != nullptr) return *given;
  own = std::make_unique<QtOperatorDialogs>(owner);
  return *own;
}

}  // namespace

CComuDlg::CComuDlg(int port, const TransferTarget& target, OperatorDialogs* dialogs,
                   QWidget* parent)
    : TemplateDialog(ProgressDialogTemplate(), parent),
      port_(port),
      target_(target),
      dialogs_(ChooseDialogs(dialogs, ownDialogs_, this)),
      controls_(*this) {
  startTimer_.setSingleShot(true);
  startTimer_.setInterval(kStartDelayMs);
  connect(&startTimer_, &QTimer::timeout, this, &CComuDlg::OnTimer);
  connect(this, &TemplateDialog::ControlClicked, this, &CComuDlg::OnControlClicked);
}

CComuDlg::~CComuDlg() = default;

void CComuDlg::showEvent(QShowEvent* event) {
  TemplateDialog::showEvent(event);
  if (timerStarted_) return;
  timerStarted_ = true;
  startTimer_.start();
}

void CComuDlg::OnTimer() {
  startTimer_.stop();
  // Events let through during the run could reach here again; one run per
  // dialog.
  if (running_ || runEnd_) return;
  running_ = true;
  TransferRun run{target_, port_, *this, dialogs_};
  runEnd_ = RunTransfer(run);
  running_ = false;
}

void CComuDlg::OnControlClicked(int id) {
  if (id == kCtlCancel) {
    OnCancelButton();
  } else if (id == kCtlOk && !running_) {
    accept();
  }
}

void CComuDlg::OnCancelButton() { g_cancelState = kCancelPressed; }

void CComuDlg::reject() {
  // The close box and Esc stop the run like CANCEL; the run then finishes
  // in view, and only the dialog's own end closes it.
  if (running_) {
    OnCancelButton();
    return;
  }
  TemplateDialog::reject();
}

void CComuDlg::SetStepLine(const std::string& text) { controls_.SetControlText(kCtlStepLine, text); }

void CComuDlg::SetDetailLine(const std::string& text) {
  controls_.SetControlText(kCtlDetailLine, text);
}

void CComuDlg::SetProgressRange(int low, int high) {
  if (auto* bar = ControlAs<QProgressBar>(kCtlProgressBar)) bar->setRange(low, high);
}

void CComuDlg::SetProgressPosition(int position) {
  if (auto* bar = ControlAs<QProgressBar>(kCtlProgressBar)) bar->setValue(position);
}

void CComuDlg::ShowWindow() { show(); }

void CComuDlg::PumpPendingEvent() {
  // Qt cannot take exactly one message off the queue: this handles what is
  // waiting now, without waiting for more.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CComuDlg::OfferOk() {
  controls_.EnableControl(kCtlOk, true);
  controls_.EnableControl(kCtlCancel, false);
  controls_.SetFocusTo(kCtlOk);
}

void CComuDlg::EndDialog(int result) { done(result); }
