#include "ui/qt/qt_dialog_toolkit.h"

#include <QApplication>
#include <QIcon>

#include "res/program_icon.h"
#include "ui/qt/qt_dialog_window.h"
#include "ui/qt/qt_translations.h"

namespace zema {

void QtDialogToolkit::Initialise(Language language) {
  InstallQtTranslations(language);
  QApplication::setWindowIcon(QIcon(QString::fromLatin1(kProgramIconResource)));
}

int QtDialogToolkit::RunModal(DialogHandlers& dialog) {
  QtDialogWindow window(dialog, nullptr);
  return window.Run();
}

}  // namespace zema
