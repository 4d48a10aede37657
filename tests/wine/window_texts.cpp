// Prints what the Windows API says about the visible top-level windows of
// the desktop and their controls, for the dialog tests under Wine:
//
//   zema-window-texts.exe
//
//   window "TITLE" client X Y WIDTH HEIGHT
//   control ID CLASS ENABLED VISIBLE CHECKED "TEXT"
//
// The client rectangle is in screen coordinates, which are the X display's
// under Wine; texts are UTF-8, a line end inside one written as \n. A
// control's text in another process is asked for with WM_GETTEXT, which
// GetWindowText does not send across processes.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/wide_text.h"

using namespace zema;

namespace {

std::string TextOf(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR length = 0;
  ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &length);
  std::string shown;
  for (char c : Utf8FromWide(text)) {
    if (c == '\n') {
      shown += "\\n";
    } else if (c != '\r') {
      shown += c;
    }
  }
  return shown;
}

BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  wchar_t className[64] = {};
  ::GetClassNameW(control, className, 64);
  DWORD_PTR checked = 0;
  ::SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 2000, &checked);
  std::printf("control %d %s %d %d %d \"%s\"\n", ::GetDlgCtrlID(control),
              Utf8FromWide(className).c_str(), ::IsWindowEnabled(control) ? 1 : 0,
              ::IsWindowVisible(control) ? 1 : 0, checked == BST_CHECKED ? 1 : 0,
              TextOf(control).c_str());
  return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
  if (!::IsWindowVisible(window) || ::GetWindowTextLengthW(window) == 0) return TRUE;
  RECT client{};
  ::GetClientRect(window, &client);
  POINT origin{0, 0};
  ::ClientToScreen(window, &origin);
  std::printf("window \"%s\" client %ld %ld %ld %ld\n", TextOf(window).c_str(), origin.x, origin.y,
              client.right, client.bottom);
  ::EnumChildWindows(window, &PrintControl, 0);
  return TRUE;
}

}  // namespace

int main() {
  ::EnumWindows(&PrintWindow, 0);
  return 0;
}
