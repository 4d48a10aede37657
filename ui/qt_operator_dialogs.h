// "Operator questions and reports" as modal QMessageBox windows.
//
// Questions have Yes and No buttons (Yes is the default), errors an OK
// button; both are owned by `owner` (may be null). The button texts come
// from Qt's own catalogue: call InstallQtTranslations (ui/qt_translations.h)
// once so that they follow the user's language. Texts are shown as plain
// text, never interpreted as markup.
#pragma once

#include <string>

#include "console/operator_dialogs.h"

class QWidget;

class QtOperatorDialogs : public OperatorDialogs {
 public:
  explicit QtOperatorDialogs(QWidget* owner) : owner_(owner) {}

  bool AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) override;
  void ShowError(const std::string& text) override;

 private:
  QWidget* owner_;
};
