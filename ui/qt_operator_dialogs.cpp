#include "ui/qt_operator_dialogs.h"

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
  if (!detail.empty()) box.setInformativeText(FromUtf8(detail));
  // Set after the informative text, so that it, too, is never read as markup.
  box.setTextFormat(Qt::PlainText);
  box.exec();
}
