// zema-loader.exe: copies a ZEMA sensor's setup between the sensor and
// files, in dialogs on the native Windows controls.
#include <windows.h>

#include "console/loader_application.h"
#include "ui/win32/win32_toolkit.h"

using namespace zema;

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/,
                    int /*show*/) {
  Win32Toolkit toolkit;
  CLoaderApp loader;
  loader.InitInstance(toolkit);
  return 0;
}
