// zema-loader: copies a ZEMA sensor's setup between the sensor and files.
#include <QApplication>

#include "console/loader_application.h"
#include "ui/qt/qt_dialog_toolkit.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QtDialogToolkit toolkit;
  CLoaderApp loader;
  loader.InitInstance(toolkit);
  return 0;
}
