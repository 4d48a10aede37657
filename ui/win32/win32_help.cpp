#include "ui/win32/win32_help.h"

#include <shellapi.h>

#include "res/wide_text.h"
#include "ui/win32/resource_ids.h"

namespace zema {

void AddAboutToSystemMenu(HWND dialog, const std::string& text) {
  HMENU menu = ::GetSystemMenu(dialog, FALSE);
  if (menu == nullptr) return;
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, kAboutSystemCommand, WideFromUtf8(text).c_str());
}

void ShowWin32AboutBox(HWND owner, const std::string& title, const std::string& text) {
  const std::wstring wideTitle = WideFromUtf8(title);
  const std::wstring wideText = WideFromUtf8(text);
  MSGBOXPARAMSW box{};
  box.cbSize = sizeof box;
  box.hwndOwner = owner;
  box.hInstance = ::GetModuleHandleW(nullptr);
  box.lpszText = wideText.c_str();
  box.lpszCaption = wideTitle.c_str();
  box.dwStyle = MB_OK | MB_USERICON;
  box.lpszIcon = MAKEINTRESOURCEW(ZEMA_ICON_RESOURCE);
  ::MessageBoxIndirectW(&box);
}

namespace {

// ShellExecuteW's result: above 32 when the program was started.
bool Started(HINSTANCE result) { return reinterpret_cast<INT_PTR>(result) > 32; }

}  // namespace

bool OpenWin32Document(HWND owner, const std::string& path) {
  const std::wstring file = WideFromUtf8(path);
  if (Started(::ShellExecuteW(owner, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL))) {
    return true;
  }
  // A system that names no program for the file's kind (a new Wine 8
  // prefix has none for .txt): Notepad, which every Windows has.
  const std::wstring quoted = L"\"" + file + L"\"";
  return Started(
      ::ShellExecuteW(owner, L"open", L"notepad.exe", quoted.c_str(), nullptr, SW_SHOWNORMAL));
}

}  // namespace zema
