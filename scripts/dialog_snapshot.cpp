// Saves a picture of the main dialog as the loader shows it after start-up
// (or of the progress dialog as its template builds it), in the language of
// the environment, for the README.
//
//   zema-dialog-snapshot OUTPUT.png [main|progress]
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>

#include "console/loader_dialog.h"
#include "console/settings_location.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "ui/template_dialog.h"
#include "ui/qt_translations.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const bool progress = argc == 3 && std::strcmp(argv[2], "progress") == 0;
  if (argc < 2 || argc > 3 || (argc == 3 && !progress && std::strcmp(argv[2], "main") != 0)) {
    std::fprintf(stderr, "usage: %s OUTPUT.png [main|progress]\n", argv[0]);
    return 2;
  }
  InstallQtTranslations(CurrentLanguage());
  std::unique_ptr<TemplateDialog> shown;
  if (progress) {
    shown = std::make_unique<TemplateDialog>(ProgressDialogTemplate());
  } else {
    shown = std::make_unique<CLoaderDlg>(DefaultSettingsPath());
  }
  TemplateDialog& dialog = *shown;
  dialog.show();
  int status = 1;
  // Let the window be mapped and painted once before it is grabbed.
  QTimer::singleShot(500, &dialog, [&] {
    status = dialog.grab().save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
    if (status != 0) std::fprintf(stderr, "cannot write %s\n", argv[1]);
    application.quit();
  });
  application.exec();
  return status;
}
