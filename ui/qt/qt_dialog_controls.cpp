#include "ui/qt/qt_dialog_controls.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/qt/template_dialog.h"

namespace zema {

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

void QtDialogControls::EnableControl(int id, bool enabled) {
  if (QWidget* widget = dialog_.Control(id)) widget->setEnabled(enabled);
}

bool QtDialogControls::IsControlEnabled(int id) const {
  const QWidget* widget = dialog_.Control(id);
  return widget != nullptr && widget->isEnabled();
}

void QtDialogControls::SetControlText(int id, const std::string& text) {
  QWidget* widget = dialog_.Control(id);
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(FromUtf8(text));
  } else if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(FromUtf8(text));
  } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
    edit->setText(FromUtf8(text));
  }
}

std::string QtDialogControls::ControlText(int id) const {
  const QWidget* widget = dialog_.Control(id);
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) return ToUtf8(button->text());
  if (auto* label = qobject_cast<const QLabel*>(widget)) return ToUtf8(label->text());
  if (auto* edit = qobject_cast<const QLineEdit*>(widget)) return ToUtf8(edit->text());
  if (auto* list = qobject_cast<const QComboBox*>(widget)) return ToUtf8(list->currentText());
  return {};
}

bool QtDialogControls::IsChecked(int id) const {
  const auto* box = qobject_cast<const QCheckBox*>(dialog_.Control(id));
  return box != nullptr && box->isChecked();
}

void QtDialogControls::SetChecked(int id, bool checked) {
  if (auto* box = qobject_cast<QCheckBox*>(dialog_.Control(id))) box->setChecked(checked);
}

int QtDialogControls::ListSelection(int id) const {
  const auto* list = qobject_cast<const QComboBox*>(dialog_.Control(id));
  return list == nullptr ? -1 : list->currentIndex();
}

void QtDialogControls::SetListSelection(int id, int index) {
  auto* list = qobject_cast<QComboBox*>(dialog_.Control(id));
  if (list == nullptr) return;
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

void QtDialogControls::SetFocusTo(int id) {
  if (QWidget* widget = dialog_.Control(id)) widget->setFocus(Qt::OtherFocusReason);
}

}  // namespace zema
