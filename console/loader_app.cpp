// zema-loader: copies a ZEMA sensor's setup between the sensor and files.
#include <QApplication>

#include "console/loader_application.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  CLoaderApp loader;
  loader.InitInstance();
  return 0;
}
