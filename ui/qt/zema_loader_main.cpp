// zema-loader: copies a ZEMA sensor's setup between the sensor and files.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "console/loader_application.h"
#include "link/standard_streams.h"
#include "ui/qt/qt_dialog_toolkit.h"

using namespace zema;

namespace {

constexpr char kHelp[] =
    "Usage: zema-loader\n"
    "The ZEMA data loader's dialog: copies a ZEMA sensor's parameter sets and\n"
    "brightness-compensation table between the sensor and files over a serial\n"
    "port. See zema-loader(1); zema-transfer(1) does the same without a window.\n"
    "\n"
    "  --help      show this text and exit\n"
    "  --version   show the version and exit\n"
    "\n"
    "Both work without a display. Qt's own options (-platform, -display) are\n"
    "understood; there are no others.\n";

// --help and --version are answered before Qt starts, so that they work
// without a display (over ssh, in a package check).
bool AnsweredWithoutWindow(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("zema-loader " ZEMA_VERSION);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  KeepStandardStreamsOpen();
  if (AnsweredWithoutWindow(argc, argv)) return 0;
  QApplication application(argc, argv);
  QtDialogToolkit toolkit;
  CLoaderApp loader;
  loader.InitInstance(toolkit);
  return 0;
}
