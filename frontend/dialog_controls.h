// "Controls by id": what the sequences need of a dialog's controls.
//
// A dialog's window (through DialogWindow) and the test doubles implement it,
// so that the settings file, connection control and the dialogs' handlers
// never see a widget.
#pragma once

#include <string>

namespace zema {

class DialogControls {
 public:
  virtual ~DialogControls() = default;

  virtual void EnableControl(int id, bool enabled) = 0;
  virtual bool IsControlEnabled(int id) const = 0;

  virtual void SetControlText(int id, const std::string& text) = 0;
  virtual std::string ControlText(int id) const = 0;

  // Check boxes: ticked or clear.
  virtual bool IsChecked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  // Drop-down lists: the selected index, -1 when nothing is selected.
  virtual int ListSelection(int id) const = 0;
  virtual void SetListSelection(int id, int index) = 0;

  virtual void SetFocusTo(int id) = 0;
};

}  // namespace zema
