#include "ui/win32/win32_toolkit.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

#include "ui/win32/win32_dialog_window.h"

void Win32Toolkit::Initialise(Language /*language*/) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);
}

int Win32Toolkit::RunModal(DialogHandlers& dialog) {
  return Win32DialogWindow::Run(dialog, nullptr);
}
