// The Qt host of a dialog: a TemplateDialog built from the handlers'
// template that forwards its events to them (clicks to OnCommand, Esc and
// the close box to OnCancel, its timers to OnTimer, F1 to OnHelp, the
// About item of its context menu to OnAbout) and carries out what
// they ask of their window. It decides nothing itself; both dialogs of the
// program run in it.
#pragma once

#include <QTimer>
#include <map>
#include <memory>

#include "frontend/dialog_window.h"
#include "ui/qt/qt_dialog_controls.h"
#include "ui/qt/qt_file_picker.h"
#include "ui/qt/qt_operator_dialogs.h"
#include "ui/qt/template_dialog.h"

namespace zema {

class QtDialogWindow : public TemplateDialog, public DialogWindow {
  Q_OBJECT

 public:
  QtDialogWindow(DialogHandlers& handlers, QWidget* owner);
  ~QtDialogWindow() override;

  // Initialises the handlers, then runs the window modally; returns the
  // result the handlers ended it with.
  int Run();

  // DialogControls
  void EnableControl(int id, bool enabled) override { controls_.EnableControl(id, enabled); }
  bool IsControlEnabled(int id) const override { return controls_.IsControlEnabled(id); }
  void SetControlText(int id, const std::string& text) override {
    controls_.SetControlText(id, text);
  }
  std::string ControlText(int id) const override { return controls_.ControlText(id); }
  bool IsChecked(int id) const override { return controls_.IsChecked(id); }
  void SetChecked(int id, bool checked) override { controls_.SetChecked(id, checked); }
  int ListSelection(int id) const override { return controls_.ListSelection(id); }
  void SetListSelection(int id, int index) override { controls_.SetListSelection(id, index); }
  void SetFocusTo(int id) override { controls_.SetFocusTo(id); }

  // DialogWindow
  void SelectText(int id, std::size_t start, std::size_t end) override;
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressPosition(int id, int position) override;
  void StartTimer(int timerId, int milliseconds) override;
  void KillTimer(int timerId) override;
  void SetProgramIcon() override;
  void ShowWindow() override { show(); }
  void PumpPendingEvents() override;
  void EndDialog(int result) override;
  int RunModal(DialogHandlers& dialog) override;
  OperatorDialogs& Boxes() override { return boxes_; }
  FilePicker& FileOpenDialog() override { return picker_; }
  void AddListEntry(int id, const std::string& text) override;
  void ShowAbout(const std::string& title, const std::string& text) override;
  bool ShowDocument(const std::string& title, const std::string& path) override;

 public slots:
  void reject() override;

 protected:
  // F1 to OnHelp; the handlers' About item, where they offer one, in the
  // dialog's context menu (ui/qt/qt_help_windows.h).
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  DialogHandlers& handlers_;
  QtDialogControls controls_;
  QtOperatorDialogs boxes_;
  QtFilePicker picker_;
  std::map<int, std::unique_ptr<QTimer>> timers_;
  bool ended_ = false;
};

}  // namespace zema
