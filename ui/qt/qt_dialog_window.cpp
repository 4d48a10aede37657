#include "ui/qt/qt_dialog_window.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QProgressBar>

#include "res/program_icon.h"

QtDialogWindow::QtDialogWindow(DialogHandlers& handlers, QWidget* owner)
    : TemplateDialog(handlers.Template(), owner),
      handlers_(handlers),
      controls_(*this),
      boxes_(this),
      picker_(this) {
  connect(this, &TemplateDialog::ControlClicked, this, [this](int id) { handlers_.OnCommand(id); });
}

QtDialogWindow::~QtDialogWindow() = default;

int QtDialogWindow::Run() {
  handlers_.OnInitDialog(*this);
  // Ended during its initialisation: never shown.
  if (ended_) return result();
  return exec();
}

void QtDialogWindow::EndDialog(int result) {
  ended_ = true;
  done(result);
}

void QtDialogWindow::reject() { handlers_.OnCancel(); }

void QtDialogWindow::SelectText(int id, std::size_t start, std::size_t end) {
  auto* field = ControlAs<QLineEdit>(id);
  if (field == nullptr) return;
  // Qt counts UTF-16 units: convert the byte offsets of the UTF-8 text.
  const std::string text = field->text().toStdString();
  const auto units = [&text](std::size_t bytes) {
    return static_cast<int>(QString::fromStdString(text.substr(0, bytes)).size());
  };
  field->setSelection(units(start), units(end) - units(start));
}

void QtDialogWindow::SetProgressRange(int id, int low, int high) {
  if (auto* bar = ControlAs<QProgressBar>(id)) bar->setRange(low, high);
}

void QtDialogWindow::SetProgressPosition(int id, int position) {
  if (auto* bar = ControlAs<QProgressBar>(id)) bar->setValue(position);
}

void QtDialogWindow::StartTimer(int timerId, int milliseconds) {
  std::unique_ptr<QTimer>& timer = timers_[timerId];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    connect(timer.get(), &QTimer::timeout, this, [this, timerId] { handlers_.OnTimer(timerId); });
  }
  timer->start(milliseconds);
}

void QtDialogWindow::KillTimer(int timerId) {
  if (auto it = timers_.find(timerId); it != timers_.end()) it->second->stop();
}

void QtDialogWindow::SetProgramIcon() {
  setWindowIcon(QIcon(QString::fromLatin1(kProgramIconResource)));
}

void QtDialogWindow::PumpPendingEvents() {
  // Qt cannot take exactly one message off the queue: this handles what is
  // waiting now, without waiting for more.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int QtDialogWindow::RunModal(DialogHandlers& dialog) {
  QtDialogWindow child(dialog, this);
  return child.Run();
}
