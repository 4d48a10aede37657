// The About box and the user guide on the native Windows shell: the About
// item in a dialog's system menu (the menu of its caption's icon, also
// opened with Alt+Space), the box itself with the program icon, and the
// guide opened in the program that the user's Windows opens such a file
// with (Notepad for README.txt, unless the user chose another; Notepad
// where the system names none).
#pragma once

#include <windows.h>

#include <string>

namespace zema {

// The system command of the About item: below 0xF000, where the system's
// own commands begin, with its low four bits clear as they must be.
inline constexpr UINT kAboutSystemCommand = 0x0010;

// Appends a separator and the item `text` to the system menu of `dialog`.
void AddAboutToSystemMenu(HWND dialog, const std::string& text);

// A modal box owned by `owner`: the program icon, `text` and OK.
void ShowWin32AboutBox(HWND owner, const std::string& title, const std::string& text);

// Opens the file at `path` for reading in its own program; false when
// Windows could not.
bool OpenWin32Document(HWND owner, const std::string& path);

}  // namespace zema
