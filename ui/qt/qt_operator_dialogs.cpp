#include "ui/qt/qt_operator_dialogs.h"

#include <QLabel>
#include <QMessageBox>

namespace {

QMessageBox::Icon ToQtIcon(BoxIcon icon) {
  switch (icon) {
    case BoxIcon::Stop:
      return QMessageBox::Critical;
    case BoxIcon::Warning:
      return QMessageBox::Warning;
    case BoxIcon::Question:
      return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

bool QtOperatorDialogs::AskYesNo(int /*question*/, const std::string& text,
                                 const std::string& caption, BoxIcon icon) {
  QMessageBox box(ToQtIcon(icon), FromUtf8(caption), FromUtf8(text),
                  QMessageBox::Yes | QMessageBox::No, owner_);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Yes);
  // Esc and the close box count as No.
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void QtOperatorDialogs::ShowError(const std::string& text, const std::string& detail) {
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kCaptionError), FromUtf8(text),
                  QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  if (!detail.empty()) {
    box.setInformativeText(FromUtf8(detail));
    // The label under the text guesses its format and the box does not pass
    // its own on: a path or a system text is never to be read as markup.
    // Qt names that label so.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
      label->setTextFormat(Qt::PlainText);
    }
  }
  box.exec();
}
