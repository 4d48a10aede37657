// The native Windows shell of a dialog: DialogHandlers run in a modal
// Win32 dialog built from their template.
//
// The window forwards its events to the handlers and carries out what they
// ask of it through the Win32 dialog calls; it decides nothing itself.
// Clicks on buttons and check boxes (BN_CLICKED) go to OnCommand, Enter to
// the default button (id 1), Esc and the close box (IDCANCEL) to OnCancel,
// WM_TIMER to OnTimer, F1 (WM_HELP) to OnHelp and the About item of the
// system menu, which it adds where the handlers offer one, to OnAbout.
#pragma once

#include <windows.h>

#include <memory>

#include "frontend/dialog_window.h"
#include "frontend/file_picker.h"
#include "frontend/operator_dialogs.h"

namespace zema {

class Win32DialogWindow : public DialogWindow {
 public:
  // Runs `handlers` modally, owned by `owner` (nullptr: a top-level window);
  // returns the result the dialog ended with, -1 when it could not be made.
  static int Run(DialogHandlers& handlers, HWND owner);

  // DialogControls
  void EnableControl(int id, bool enabled) override;
  bool IsControlEnabled(int id) const override;
  void SetControlText(int id, const std::string& text) override;
  std::string ControlText(int id) const override;
  bool IsChecked(int id) const override;
  void SetChecked(int id, bool checked) override;
  int ListSelection(int id) const override;
  void SetListSelection(int id, int index) override;
  void SetFocusTo(int id) override;

  // DialogWindow
  void SelectText(int id, std::size_t start, std::size_t end) override;
  void SetProgressRange(int id, int low, int high) override;
  void SetProgressPosition(int id, int position) override;
  void StartTimer(int timerId, int milliseconds) override;
  void KillTimer(int timerId) override;
  void SetProgramIcon() override;
  void ShowWindow() override;
  void PumpPendingEvents() override;
  void EndDialog(int result) override;
  int RunModal(DialogHandlers& dialog) override;
  OperatorDialogs& Boxes() override;
  FilePicker& FileOpenDialog() override;
  void AddListEntry(int id, const std::string& text) override;
  void ShowAbout(const std::string& title, const std::string& text) override;
  bool ShowDocument(const std::string& title, const std::string& path) override;

 private:
  explicit Win32DialogWindow(DialogHandlers& handlers);
  ~Win32DialogWindow() override;

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND Item(int id) const { return ::GetDlgItem(dialog_, id); }
  void ShowPendingProgress();

  DialogHandlers& handlers_;
  HWND dialog_ = nullptr;
  HICON largeIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  bool focusSet_ = false;  // a handler chose the focus during OnInitDialog
  std::unique_ptr<OperatorDialogs> boxes_;
  std::unique_ptr<FilePicker> picker_;
  // The progress bar's position as last asked for and not yet shown (bar 0:
  // none), and when a position was last shown (SetProgressPosition).
  int pendingBar_ = 0;
  int pendingPosition_ = 0;
  int progressLow_ = 0;
  int progressHigh_ = 100;
  ULONGLONG progressShownAt_ = 0;
  bool progressTimerRunning_ = false;
};

}  // namespace zema
