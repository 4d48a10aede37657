// The file-open dialog of Ref. as GetOpenFileNameW, owned by a dialog
// window (which is disabled while it is open).
#pragma once

#include <windows.h>

#include "frontend/file_picker.h"

namespace zema {

class Win32FilePicker : public FilePicker {
 public:
  explicit Win32FilePicker(HWND owner) : owner_(owner) {}

  bool PickFile(std::span<const FileFilter> filters, const std::string& initialFolder,
                std::string& chosenPath) override;

 private:
  HWND owner_;
};

}  // namespace zema
