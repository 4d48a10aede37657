// The program's message boxes as MessageBoxW, owned by a dialog window.
//
// The Yes/No and OK buttons are the system's own, in the language of the
// user interface. Under Wine 8 they follow LC_ALL: "&Ja"/"&Nein" under
// de_DE.UTF-8, "はい(&Y)"/"いいえ(&N)" under ja_JP.UTF-8 (measured; LANGUAGE
// or LC_MESSAGES alone do not change them).
#pragma once

#include <windows.h>

#include "frontend/operator_dialogs.h"

namespace zema {

class Win32OperatorDialogs : public OperatorDialogs {
 public:
  explicit Win32OperatorDialogs(HWND owner) : owner_(owner) {}

  using OperatorDialogs::ShowError;
  bool AskYesNo(int question, const std::string& text, const std::string& caption,
                BoxIcon icon) override;
  void ShowError(const std::string& text, const std::string& detail) override;

 private:
  HWND owner_;
};

}  // namespace zema
