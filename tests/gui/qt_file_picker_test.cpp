// The file-open dialog of Ref.: the type list it offers, a typed name of a
// file that does not exist, and cancelling.
#include "ui/qt/qt_file_picker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>
#include <functional>
#include <string>

#include "console/base_name_choice.h"
#include "tests/support/temp_folder.h"

namespace zema {

namespace {

// Runs `act` on the file dialog as soon as it is open.
void WhenTheDialogIsOpen(const std::function<void(QFileDialog&)>& act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(*dialog);
  });
  timer->start(10);
}

TEST(QtFilePicker, OffersTheFourTypesAndTakesANameThatDoesNotExistYet) {
  const TempFolder folder("zema-picker");
  const std::string typed = (folder / "lineB.pr0.zema").string();
  QtFilePicker picker(nullptr);

  QStringList filters;
  QString preselected;
  WhenTheDialogIsOpen([&](QFileDialog& dialog) {
    filters = dialog.nameFilters();
    preselected = dialog.selectedNameFilter();
    EXPECT_EQ(dialog.fileMode(), QFileDialog::AnyFile);
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_TRUE(dialog.testOption(QFileDialog::HideNameFilterDetails));
    dialog.selectFile(QString::fromStdString(typed));
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  std::string chosen = "before";
  ASSERT_TRUE(picker.PickFile(kBaseNameFilters, {}, chosen));
  EXPECT_EQ(chosen, typed);
  // Qt takes the patterns from the last parentheses and shows the text
  // before them; "*.*" matches names without a dot too, as on Windows.
  EXPECT_EQ(filters, (QStringList{"ZEMA Files ( *.zema *.bmp ) (*.zema *.bmp)",
                                  "ZEMA Parameter File ( *.zema ) (*.zema)",
                                  "ZEMA Pattern File ( *.bmp ) (*.bmp)", "All files(*.*) (*)"}));
  EXPECT_EQ(preselected.toStdString(), "ZEMA Files ( *.zema *.bmp )") << "shown as it reads";

  WhenTheDialogIsOpen([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(picker.PickFile(kBaseNameFilters, {}, chosen));
  EXPECT_EQ(chosen, typed) << "a cancelled dialog leaves the result alone";
}

}  // namespace

}  // namespace zema
