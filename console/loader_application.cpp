#include "console/loader_application.h"

#include <QApplication>

#include "console/loader_dialog.h"
#include "console/settings_location.h"
#include "res/messages.h"
#include "ui/qt_translations.h"

bool CLoaderApp::InitInstance() {
  InstallQtTranslations(CurrentLanguage());
  CLoaderDlg dialog(DefaultSettingsPath());
  QApplication::setWindowIcon(dialog.windowIcon());
  dialog.exec();
  return false;
}
