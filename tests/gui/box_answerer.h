// Answers the next modal message box of a Qt test: armed before the box
// opens, it polls for the active modal widget, records what the box shows
// and presses the chosen button (Esc when the box has no such button).
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace zema {

struct SeenBox {
  std::string caption;
  std::string text;
  std::string informativeText;
  Qt::TextFormat informativeFormat = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<std::string> buttons;  // sorted
};

class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }

  // The box seen, if any.
  const std::optional<SeenBox>& seen() const { return seen_; }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    timer_.stop();
    SeenBox& seen = seen_.emplace();
    seen.caption = box->windowTitle().toStdString();
    seen.text = box->text().toStdString();
    seen.informativeText = box->informativeText().toStdString();
    // Qt's own name for the label under the text.
    if (auto* label = box->findChild<QLabel*>("qt_msgbox_informativelabel")) {
      seen.informativeFormat = label->textFormat();
    }
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) {
      seen.buttons.push_back(button->text().toStdString());
    }
    std::sort(seen.buttons.begin(), seen.buttons.end());
    if (QAbstractButton* button = box->button(answer_)) {
      button->click();
    } else {
      box->reject();
    }
  }

  QMessageBox::StandardButton answer_;
  QTimer timer_;
  std::optional<SeenBox> seen_;
};

}  // namespace zema
