// A QDialog built from a dialog template of res/dialog_templates.h.
//
// The dialog creates every control of the template in tab order, in the
// language given (the user's by default): captions, list entries, hidden
// and disabled initial states, and positions converted from dialog units
// with the dialog font's metrics. Lists start without a selection. The
// controls are found again by their template id.
//
// Clicks on buttons and check boxes are reported as ControlClicked(id).
// The button with id 1 is the default button (Enter presses it unless
// another button has the focus). Esc and the close box reject the dialog;
// subclasses override reject() to change that.
//
// Placement: QDialog shows itself centred over its owner, or over the screen
// when it has none, and a dialog without an owner has its own taskbar entry;
// that is how a template's `centered` and `showInTaskbar` are met.
#pragma once

#include <QDialog>
#include <QFont>
#include <map>

#include "res/dialog_templates.h"
#include "res/messages.h"
#include "ui/qt/dialog_units.h"

namespace zema {

class TemplateDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TemplateDialog(const DialogTemplate& dialogTemplate, QWidget* parent = nullptr);
  TemplateDialog(const DialogTemplate& dialogTemplate, Language language,
                 QWidget* parent = nullptr);

  // The control with this template id, or nullptr (also for kNoControlId).
  QWidget* Control(int id) const;
  template <class Widget>
  Widget* ControlAs(int id) const {
    return qobject_cast<Widget*>(Control(id));
  }

  // The template's font where it is installed, else the system's font.
  static QFont DialogFont(const DialogTemplate& dialogTemplate);

 signals:
  void ControlClicked(int id);

 private:
  void Build();
  QWidget* CreateControl(const ControlTemplate& control);

  const DialogTemplate& template_;
  Language language_;
  QFont font_;
  DialogUnits units_;
  std::map<int, QWidget*> controls_;
};

}  // namespace zema
