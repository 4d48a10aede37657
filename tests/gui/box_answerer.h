// Answers the next modal message box of a Qt test: armed before the box
// opens, it polls for the active modal widget, records what the box shows
// and presses the chosen button.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct SeenBox {
  std::string caption;
  std::string text;
  std::string informativeText;
  Qt::TextFormat informativeFormat = Qt::AutoText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  std::vector<std::string> buttons;  // sorted
};

// Answers the coming modal message boxes in order, pressing the button with
// the given standard role (Esc when the box has no such button), and records
// each box. Boxes beyond the answers given are left alone.
class BoxAnswerer {
 public:
  explicit BoxAnswerer(QMessageBox::StandardButton answer) 
      : BoxAnswerer(std::vector<QMessageBox::StandardButton>{answer}) {}
  explicit BoxAnswerer(std::vector<QMessageBox::StandardButton> answers)
      : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(10);
  }

  // The first box seen, if any.
  std::optional<SeenBox> seen() const {
    return boxes_.empty() ? std::nullopt : std::optional<SeenBox>(boxes_.front());
  }
  const std::vector<SeenBox>& boxes() const { return boxes_; }

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible() || box == lastBox_) return;
    lastBox_ = box;
    SeenBox seen;
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
    boxes_.push_back(seen);
    const QMessageBox::StandardButton answer = answers_[boxes_.size() - 1];
    if (boxes_.size() == answers_.size()) timer_.stop();
    if (QAbstractButton* button = box->button(answer)) {
      button->click();
    } else {
      box->reject();
    }
  }

  std::vector<QMessageBox::StandardButton> answers_;
  QTimer timer_;
  std::vector<SeenBox> boxes_;
  const QMessageBox* lastBox_ = nullptr;
};
