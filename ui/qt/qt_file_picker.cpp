#include "ui/qt/qt_file_picker.h"

#include <QFile>
#include <QFileDialog>
#include <QStringList>

namespace zema {

namespace {

// Qt reads a filter's patterns from its last pair of parentheses, separated
// by blanks; with the details hidden the operator sees only the text before.
QString QtFilter(const FileFilter& filter) {
  QStringList patterns =
      QString::fromUtf8(filter.pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& pattern : patterns) {
    if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
  }
  return QString::fromUtf8(filter.shown) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
         QLatin1Char(')');
}

}  // namespace

bool QtFilePicker::PickFile(std::span<const FileFilter> filters, const std::string& initialFolder,
                            std::string& chosenPath) {
  QStringList nameFilters;
  for (const FileFilter& filter : filters) nameFilters << QtFilter(filter);

  QFileDialog dialog(owner_);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  // A name typed for a file that does not exist yet is a valid choice.
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilters(nameFilters);
  if (!nameFilters.isEmpty()) dialog.selectNameFilter(nameFilters.front());
  if (!initialFolder.empty()) dialog.setDirectory(QFile::decodeName(initialFolder.c_str()));

  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  if (owner_ != nullptr) {
    owner_->activateWindow();
    owner_->raise();
  }
  if (!chosen) return false;
  chosenPath = QFile::encodeName(dialog.selectedFiles().front()).toStdString();
  return true;
}

}  // namespace zema
