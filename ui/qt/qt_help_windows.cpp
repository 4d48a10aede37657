#include "ui/qt/qt_help_windows.h"

#include <QDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "res/program_icon.h"

namespace zema {

namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr char kDocumentWindowName[] = "documentWindow";

}  // namespace

void ShowQtAboutBox(QWidget* owner, const std::string& title, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, FromUtf8(title), FromUtf8(text), QMessageBox::Ok, owner);
  box.setTextFormat(Qt::PlainText);
  box.setIconPixmap(QIcon(QString::fromLatin1(kProgramIconResource)).pixmap(64, 64));
  box.exec();
}

bool ShowQtDocument(QWidget* owner, const std::string& title, const std::string& path) {
  const QFileInfo file(QString::fromStdString(path));
  if (!file.isFile() || !file.isReadable()) return false;

  // A child of the owner: a modal dialog blocks every other window of the
  // program, but not its own children.
  auto* window = owner->findChild<QDialog*>(QString::fromLatin1(kDocumentWindowName),
                                            Qt::FindDirectChildrenOnly);
  QTextBrowser* browser = nullptr;
  if (window == nullptr) {
    window = new QDialog(owner);
    window->setObjectName(QString::fromLatin1(kDocumentWindowName));
    window->setWindowFlags(Qt::Window);
    window->resize(760, 600);
    browser = new QTextBrowser(window);
    browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
  } else {
    browser = window->findChild<QTextBrowser*>();
  }
  window->setWindowTitle(FromUtf8(title));
  // Pictures and links of the guide are named relative to its folder.
  browser->setSearchPaths({file.absolutePath()});
  browser->setSource(QUrl::fromLocalFile(file.absoluteFilePath()),
                     file.suffix() == QLatin1String("md") ? QTextDocument::MarkdownResource
                                                          : QTextDocument::UnknownResource);
  window->show();
  window->raise();
  window->activateWindow();
  return true;
}

}  // namespace zema
