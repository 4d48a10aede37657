#include "ui/qt/qt_operator_dialogs.h"

#include <QLabel>
#include <QMessageBox>
#include <QStringList>

namespace zema {

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

// A box's text with every path kept on one line: Qt may wrap a line after a
// folder separator or a hyphen, which cuts a name in two ("/dev/" and
// "ttyS8" on separate lines). A word joiner after each of them, in a word
// that holds a separator, leaves the text's other breaks to Qt.
QString WithPathsWhole(const std::string& text) {
  static const QChar kWordJoiner(0x2060);
  QString result;
  const QStringList words = FromUtf8(text).split(QLatin1Char(' '));
  for (qsizetype i = 0; i < words.size(); ++i) {
    const QString& word = words[i];
    if (i > 0) result += QLatin1Char(' ');
    const bool path = word.contains(QLatin1Char('/')) || word.contains(QLatin1Char('\\'));
    for (const QChar c : word) {
      result += c;
      if (path && (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('-'))) {
        result += kWordJoiner;
      }
    }
  }
  return result;
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
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kCaptionError), WithPathsWhole(text),
                  QMessageBox::Ok, owner_);
  box.setTextFormat(Qt::PlainText);
  if (!detail.empty()) {
    box.setInformativeText(WithPathsWhole(detail));
    // The label under the text guesses its format and the box does not pass
    // its own on: a path or a system text is never to be read as markup.
    // Qt names that label so.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
      label->setTextFormat(Qt::PlainText);
    }
  }
  box.exec();
}

}  // namespace zema
