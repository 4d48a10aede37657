#include "ui/win32/win32_file_picker.h"

#include <commdlg.h>

#include <vector>

#include "res/wide_text.h"

namespace zema {

bool Win32FilePicker::PickFile(std::span<const FileFilter> filters,
                               const std::string& initialFolder, std::string& chosenPath) {
  // "shown\0pattern\0" for each entry, and one more "\0" at the end.
  std::wstring filterList;
  for (const FileFilter& filter : filters) {
    filterList += WideFromUtf8(filter.shown);
    filterList += L'\0';
    filterList += WideFromUtf8(filter.pattern);
    filterList += L'\0';
  }
  filterList += L'\0';

  // The browse buffer: a path of up to 259 characters and its terminator.
  std::vector<wchar_t> chosen(MAX_PATH, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = filterList.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = chosen.data();
  dialog.nMaxFile = static_cast<DWORD>(chosen.size());
  const std::wstring folder = WideFromUtf8(initialFolder);
  if (!folder.empty()) dialog.lpstrInitialDir = folder.c_str();
  // A typed name of a file that does not exist is accepted.
  dialog.Flags = OFN_HIDEREADONLY;
  const BOOL picked = ::GetOpenFileNameW(&dialog);
  if (owner_ != nullptr) ::SetFocus(owner_);
  if (!picked) return false;
  chosenPath = Utf8FromWide(chosen.data());
  return true;
}

}  // namespace zema
