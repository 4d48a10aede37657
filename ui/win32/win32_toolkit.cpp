#include "ui/win32/win32_toolkit.h"

#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <shlobj.h>

#include "res/wide_text.h"
#include "ui/win32/win32_dialog_window.h"

namespace zema {

void Win32Toolkit::Initialise(Language /*language*/) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);
}

int Win32Toolkit::RunModal(DialogHandlers& dialog) {
  return Win32DialogWindow::Run(dialog, nullptr);
}

// SHGetFolderPathW rather than SHGetKnownFolderPath, which it asks: the same
// folder (also where the user moved it), without ole32 for freeing the
// text that the newer call hands back.
std::string Win32Toolkit::DocumentsFolder() {
  wchar_t folder[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder))) {
    return {};
  }
  return Utf8FromWide(folder);
}

}  // namespace zema
