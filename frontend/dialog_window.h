// A dialog seen from its handlers, and the handlers seen from a toolkit.
//
// The dialogs' behaviour (CLoaderDlg, CComuDlg) is written once, as
// DialogHandlers; each toolkit shell (Qt on Linux, the Win32 dialog calls on
// Windows, a fake window in the tests) builds the window from the handlers'
// template, hands them a DialogWindow for it and forwards the window's
// events to them. A shell decides nothing: what a click, the timer or the
// close box means is the handlers' business.
#pragma once

#include <cstddef>
#include <string>

#include "frontend/dialog_controls.h"
#include "res/dialog_templates.h"

namespace zema {

class DialogHandlers;
class FilePicker;
class OperatorDialogs;

// Results with which a dialog ends: its OK command, and Esc or the close box.
inline constexpr int kDialogResultOk = 1;
inline constexpr int kDialogResultCancel = 2;

// The window of one running dialog, valid from OnInitDialog until the dialog
// has ended.
class DialogWindow : public DialogControls {
 public:
  // Selects the characters of an edit field's text from byte `start` to
  // byte `end` of its UTF-8 text (both at character boundaries) and scrolls
  // the caret into view.
  virtual void SelectText(int id, std::size_t start, std::size_t end) = 0;

  // Appends an entry to drop-down list `id`, after those of the template.
  virtual void AddListEntry(int id, const std::string& text) = 0;

  // The progress bar control.
  virtual void SetProgressRange(int id, int low, int high) = 0;
  virtual void SetProgressPosition(int id, int position) = 0;

  // A window timer: OnTimer(timerId) every `milliseconds` until KillTimer.
  // Starting a running timer again restarts it.
  virtual void StartTimer(int timerId, int milliseconds) = 0;
  virtual void KillTimer(int timerId) = 0;

  // The program icon as the window's large and small icon.
  virtual void SetProgramIcon() = 0;

  // Makes the window visible (again).
  virtual void ShowWindow() = 0;

  // Handles what is waiting in the user-interface thread's queue (a CANCEL
  // click, painting, the close box) without waiting for more, so that a long
  // handler can be stopped between two steps. A handler that calls it can
  // be re-entered by the events it lets through.
  virtual void PumpPendingEvents() = 0;

  // Ends the dialog with `result` once the running handler has returned.
  virtual void EndDialog(int result) = 0;

  // Runs `dialog` modally, owned by this window (which is disabled meanwhile);
  // returns the result the dialog ended with.
  virtual int RunModal(DialogHandlers& dialog) = 0;

  // The message boxes and the file-open dialog, owned by this window.
  virtual OperatorDialogs& Boxes() = 0;
  virtual FilePicker& FileOpenDialog() = 0;

  // A box titled `title` with `text` beside the program icon and an OK
  // button, owned by this window.
  virtual void ShowAbout(const std::string& title, const std::string& text) = 0;
  // Shows the text file at `path` (the user guide) for reading, beside
  // this window, which stays usable; `title` names it where the toolkit
  // gives the window a title. False when it cannot be shown.
  virtual bool ShowDocument(const std::string& title, const std::string& path) = 0;
};

// The behaviour of one dialog: its template and what each event does.
class DialogHandlers {
 public:
  virtual ~DialogHandlers() = default;

  virtual const DialogTemplate& Template() const = 0;

  // The window has been built from the template (controls created in tab
  // order, lists filled, initial states set) and is about to be shown.
  virtual void OnInitDialog(DialogWindow& window) = 0;

  // A click on a button or check box. Enter presses the default button
  // (id 1) unless another button has the focus.
  virtual void OnCommand(int controlId) = 0;

  // Esc or the window's close box.
  virtual void OnCancel() = 0;

  // A timer started with DialogWindow::StartTimer has fired.
  virtual void OnTimer(int /*timerId*/) {}

  // The text of an item "About ..." for the window's own menu (the system
  // menu on Windows); empty: the window offers none.
  virtual std::string AboutMenuText() const { return {}; }
  // That item was chosen.
  virtual void OnAbout() {}
  // F1.
  virtual void OnHelp() {}
};

// The toolkit as the application object sees it.
class DialogToolkit {
 public:
  virtual ~DialogToolkit() = default;

  // Start-up work before the first window: the common controls, the
  // standard buttons' texts in `language`.
  virtual void Initialise(Language language) = 0;

  // Runs `dialog` as a modal top-level window with its own taskbar entry;
  // returns the result it ended with.
  virtual int RunModal(DialogHandlers& dialog) = 0;

  // The user's Documents folder as the system names it (UTF-8); empty when
  // the toolkit knows none.
  virtual std::string DocumentsFolder() { return {}; }
};

}  // namespace zema
