// "Controls by id" over a TemplateDialog.
//
// Each call acts on the control with that template id; an id the dialog
// does not have, or a call that does not fit the control's kind, changes
// nothing and reads as disabled / empty / clear / -1. Texts are UTF-8.
//
//   SetControlText / ControlText: caption of a button, check box or label,
//     contents of an edit field; ControlText of a list is its selected entry.
//   IsChecked / SetChecked: check boxes.
//   ListSelection / SetListSelection: drop-down lists; an index outside the
//     list clears the selection (-1).
//   SetFocusTo: keyboard focus; takes effect when the window is active.
#pragma once

#include <string>

#include "frontend/dialog_controls.h"

namespace zema {

class TemplateDialog;

class QtDialogControls : public DialogControls {
 public:
  explicit QtDialogControls(TemplateDialog& dialog) : dialog_(dialog) {}

  void EnableControl(int id, bool enabled) override;
  bool IsControlEnabled(int id) const override;

  void SetControlText(int id, const std::string& text) override;
  std::string ControlText(int id) const override;

  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;

  int ListSelection(int id) const override;
  void SetListSelection(int id, int index) override;

  void SetFocusTo(int id) override;

 private:
  TemplateDialog& dialog_;
};

}  // namespace zema
