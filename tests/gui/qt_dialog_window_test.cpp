// The Qt host of a dialog: it forwards the window's events to the handlers
// and carries out what they ask of the window, deciding nothing itself.
#include "ui/qt/qt_dialog_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <functional>
#include <string>
#include <vector>

#include "res/dialog_templates.h"
#include "ui/qt/qt_dialog_toolkit.h"

namespace zema {

namespace {

// Handlers that record what reached them (initialisation "init", a click
// "click <id>", Esc or the close box "cancel", a timer "timer <id>") and
// run a test's step for it.
class RecordingHandlers : public DialogHandlers {
 public:
  explicit RecordingHandlers(const DialogTemplate& dialogTemplate) : template_(dialogTemplate) {}

  const DialogTemplate& Template() const override { return template_; }
  void OnInitDialog(DialogWindow& window) override {
    window_ = &window;
    Record("init");
  }
  void OnCommand(int controlId) override { Record("click " + std::to_string(controlId)); }
  void OnCancel() override { Record("cancel"); }
  void OnTimer(int timerId) override { Record("timer " + std::to_string(timerId)); }

  std::vector<std::string> events;
  // Runs after each event is recorded, with the window and the event.
  std::function<void(DialogWindow&, const std::string&)> step;

 private:
  void Record(const std::string& event) {
    events.push_back(event);
    if (step) step(*window_, event);
  }
  const DialogTemplate& template_;
  DialogWindow* window_ = nullptr;
};

QWidget* ControlOf(QWidget* dialog, int id) {
  return dialog->findChild<QWidget*>(QStringLiteral("control%1").arg(id));
}

TEST(QtDialogWindow, ForwardsEveryEventToTheHandlersAndEndsOnlyWhenTheyEndIt) {
  RecordingHandlers handlers(ProgressDialogTemplate());
  QtDialogWindow window(handlers, nullptr);
  const auto press = [&window](Qt::Key key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&window, &event);
  };
  // Once a timer has fired the operator clicks OK while it is disabled,
  // then CANCEL, presses Esc, clicks the close box and presses Enter (the
  // default button, OK, once it is enabled); the last event ends the dialog.
  handlers.step = [&](DialogWindow& host, const std::string& event) {
    if (event == "init") {
      host.StartTimer(7, 0);
    } else if (event == "timer 7") {
      host.KillTimer(7);
      static_cast<QPushButton*>(ControlOf(&window, kCtlOk))->click();
      static_cast<QPushButton*>(ControlOf(&window, kCtlCancel))->click();
      press(Qt::Key_Escape);
      window.close();
      EXPECT_TRUE(window.isVisible()) << "the handlers did not end it";
      host.EnableControl(kCtlOk, true);
      ControlOf(&window, kCtlOk)->setFocus();
      press(Qt::Key_Return);
    } else if (event == "click 1") {
      host.EndDialog(42);
    }
  };
  EXPECT_EQ(window.Run(), 42);
  EXPECT_EQ(handlers.events, (std::vector<std::string>{"init", "timer 7", "click 1052", "cancel",
                                                       "cancel", "click 1"}));
}

TEST(QtDialogWindow, CarriesOutWhatTheHandlersAskOfTheWindow) {
  RecordingHandlers handlers(MainDialogTemplate());
  QtDialogWindow window(handlers, nullptr);
  handlers.OnInitDialog(window);
  window.show();

  // The name part of a UTF-8 text, selected by its byte offsets.
  const std::string text = "C:\\data\\Größe";
  window.SetControlText(kCtlBaseName, text);
  window.SelectText(kCtlBaseName, 8, text.size());
  EXPECT_EQ(static_cast<QLineEdit*>(ControlOf(&window, kCtlBaseName))->selectedText(),
            QStringLiteral("Größe"));

  window.SetProgramIcon();
  EXPECT_FALSE(window.windowIcon().pixmap(32, 32).isNull());

  // A click waiting in the queue reaches the handlers through the pump.
  QMetaObject::invokeMethod(ControlOf(&window, kCtlExit), "click", Qt::QueuedConnection);
  window.PumpPendingEvents();
  EXPECT_EQ(handlers.events, (std::vector<std::string>{"init", "click 1"}));

  // A modal child, owned by the window, ends with its handlers' result.
  RecordingHandlers progress(ProgressDialogTemplate());
  QWidget* childParent = nullptr;
  progress.step = [&](DialogWindow& child, const std::string& event) {
    if (event != "init") return;
    child.SetProgressRange(kCtlProgressBar, 0, 512);
    child.SetProgressPosition(kCtlProgressBar, 256);
    auto* host = dynamic_cast<QtDialogWindow*>(&child);
    childParent = host->parentWidget();
    const auto* bar = static_cast<QProgressBar*>(ControlOf(host, kCtlProgressBar));
    EXPECT_EQ(bar->maximum(), 512);
    EXPECT_EQ(bar->value(), 256);
    child.EndDialog(kDialogResultOk);
  };
  EXPECT_EQ(window.RunModal(progress), kDialogResultOk);
  EXPECT_EQ(childParent, &window);

  QtDialogToolkit toolkit;
  RecordingHandlers topLevel(ProgressDialogTemplate());
  topLevel.step = [](DialogWindow& host, const std::string&) { host.EndDialog(3); };
  EXPECT_EQ(toolkit.RunModal(topLevel), 3);
}

}  // namespace

}  // namespace zema
