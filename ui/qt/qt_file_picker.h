// The file-open dialog of Ref. as a QFileDialog.
//
// The type list shows the texts given, exactly; each matches its patterns,
// where "*.*" stands for every file as it does on Windows (on this system
// "*.*" would miss names without a dot). The dialog is modal over `owner`,
// which the operator cannot use meanwhile and which gets the focus back.
#pragma once

#include "frontend/file_picker.h"

class QWidget;

namespace zema {

class QtFilePicker : public FilePicker {
 public:
  explicit QtFilePicker(QWidget* owner) : owner_(owner) {}

  bool PickFile(std::span<const FileFilter> filters, const std::string& initialFolder,
                std::string& chosenPath) override;

 private:
  QWidget* owner_;
};

}  // namespace zema
