// The main dialog on the Qt shell: the ports above COM9 in its list, the
// user guide with F1 and the About box from its context menu.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTextBrowser>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/main_dialog.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "tests/gui/box_answerer.h"
#include "tests/support/temp_folder.h"
#include "ui/qt/qt_dialog_window.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

TEST(QtLoaderDialog, OffersPortsAboveCom9AndOpensHelpAndAbout) {
  const TempFolder config("zema-qt-help");
  fs::create_directories(config / "zema-loader/dosdevices");
  for (const char* name : {"com13", "com10"}) {
    fs::create_symlink("/dev/null", config / "zema-loader/dosdevices" / name);
  }
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  CLoaderDlg dialog((config / "zema-loader.ini").string());
  QtDialogWindow window(dialog, nullptr);
  dialog.OnInitDialog(window);
  ::unsetenv("XDG_CONFIG_HOME");
  window.show();

  // After COM9 (other tests' ports beside the program may follow).
  auto* ports = window.ControlAs<QComboBox>(kCtlPortList);
  const QStringList shown{ports->itemText(8), ports->itemText(9), ports->itemText(10)};
  EXPECT_EQ(shown.join(' ').toStdString(), "COM9 COM10 COM13");

  // F1 where the focus is: the user guide in a window of its own.
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(ports, &f1);
  auto* guide = window.findChild<QDialog*>(QStringLiteral("documentWindow"));
  ASSERT_TRUE(guide != nullptr && guide->isVisible());
  EXPECT_EQ(guide->windowTitle().toStdString(), LoadMessage(kMsgUserGuideTitle));
  EXPECT_TRUE(
      guide->findChild<QTextBrowser*>()->toPlainText().startsWith(QStringLiteral("User guide")));

  // A right click on the dialog: its one item opens the About box.
  BoxAnswerer answerer(QMessageBox::Ok);
  QTimer menuChooser;
  QObject::connect(&menuChooser, &QTimer::timeout, [&menuChooser] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    menuChooser.stop();
    EXPECT_EQ(menu->actions().size(), 1);
    menu->setActiveAction(menu->actions().front());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(menu, &enter);
  });
  menuChooser.start(10);
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5),
                               window.mapToGlobal(QPoint(5, 5)));
  QApplication::sendEvent(&window, &rightClick);
  ASSERT_TRUE(answerer.seen());
  EXPECT_EQ(answerer.seen()->caption, LoadMessage(kMsgAboutTitle));
  EXPECT_NE(answerer.seen()->text.find("ZEMA Data Loader, version 1.0"), std::string::npos);
  EXPECT_NE(answerer.seen()->text.find("user-guide.md"), std::string::npos);
}

}  // namespace

}  // namespace zema
