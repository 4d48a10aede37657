// The file-open dialog behind Ref., as an interface: each toolkit shell
// implements it, tests answer it without a window.
#pragma once

#include <span>
#include <string>

namespace zema {

// One entry of the file dialog's type list: the text shown and the
// patterns it stands for, ";"-separated ("*.zema;*.bmp").
struct FileFilter {
  const char* shown;
  const char* pattern;
};

class FilePicker {
 public:
  virtual ~FilePicker() = default;

  // Lets the operator choose a file, offering `filters` in their order with
  // the first preselected, starting in `initialFolder` (empty: the dialog's
  // own choice); a typed name of a file that does not exist is accepted.
  // False when the operator cancelled or the dialog failed, and
  // `chosenPath` is then untouched.
  virtual bool PickFile(std::span<const FileFilter> filters, const std::string& initialFolder,
                        std::string& chosenPath) = 0;
};

}  // namespace zema
