#include "ui/qt/qt_dialog_window.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>

#include "res/program_icon.h"
#include "ui/qt/qt_help_windows.h"

namespace zema {

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

void QtDialogWindow::AddListEntry(int id, const std::string& text) {
  if (auto* list = ControlAs<QComboBox>(id)) list->addItem(QString::fromStdString(text));
}

void QtDialogWindow::ShowAbout(const std::string& title, const std::string& text) {
  ShowQtAboutBox(this, title, text);
}

bool QtDialogWindow::ShowDocument(const std::string& title, const std::string& path) {
  return ShowQtDocument(this, title, path);
}

void QtDialogWindow::keyPressEvent(QKeyEvent* event) {
  // F1 reaches the dialog from whichever control has the focus: none of
  // them takes it.
  if (event->matches(QKeySequence::HelpContents)) {
    handlers_.OnHelp();
    return;
  }
  TemplateDialog::keyPressEvent(event);
}

void QtDialogWindow::contextMenuEvent(QContextMenuEvent* event) {
  const std::string about = handlers_.AboutMenuText();
  if (about.empty()) return;
  QMenu menu(this);
  const QAction* item = menu.addAction(QString::fromStdString(about));
  if (menu.exec(event->globalPos()) == item) handlers_.OnAbout();
}

}  // namespace zema
