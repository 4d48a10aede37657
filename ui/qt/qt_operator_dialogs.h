// "Operator questions and reports" as modal QMessageBox windows.
//
// Questions have Yes and No buttons (Yes is the default), errors an OK
// button; both are owned by `owner` (may be null). The button texts come
// from Qt's own catalogue: call InstallQtTranslations (ui/qt/qt_translations.h)
// once so that they follow the user's language. Texts are shown as plain
// text, never interpreted as markup.
#pragma once

#include <string>

#include "frontend/operator_dialogs.h"

class QWidget;

namespace zema {

class QtOperatorDialogs : public OperatorDialogs {
 public:
  explicit QtOperatorDialogs(QWidget* owner) : owner_(owner) {}

  using OperatorDialogs::ShowError;
  bool AskYesNo(int question, const std::string& text, const std::string& caption,
                BoxIcon icon) override;
  // The detail, when there is one, is the box's informative text: a second
  // paragraph under the message, always in view.
  void ShowError(const std::string& text, const std::string& detail) override;

 private:
  QWidget* owner_;
};

}  // namespace zema
