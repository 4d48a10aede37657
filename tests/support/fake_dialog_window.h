// A window and a toolkit without any toolkit, for driving the dialogs'
// handlers in tests: the window is built from the handlers' template and
// keeps its controls in memory; the operator behind it is a script shared by
// every window of a test (the answers to the boxes, the files picked, what
// the operator does while a modal window waits).
//
// A modal run (RunModal, also of a child window) initialises the handlers,
// then, until the dialog has ended: delivers posted events, fires the active
// timers, and when nothing else is left lets the operator act
// (whenWaiting, which returns false when the operator has nothing more to
// do; by default the default button, id 1, or Esc when it is disabled). A
// dialog left waiting is ended with kStuckResult. Nothing is timed: a timer
// fires when its turn comes.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "frontend/dialog_window.h"
#include "frontend/file_picker.h"
#include "tests/support/fake_dialogs.h"

namespace zema {

// Answers the file-open dialog with the paths queued, or as cancelled when
// none is left; records the type list each time.
class ScriptedPicker : public FilePicker {
 public:
  bool PickFile(std::span<const FileFilter> filters, const std::string& initialFolder,
                std::string& chosenPath) override;

  std::vector<std::optional<std::string>> queued;  // nullopt: cancelled
  std::span<const FileFilter> offered;
  std::string openedIn;
};

class FakeDialogWindow;

struct FakeOperatorScript {
  // A modal window that has ended: its template, its result and its
  // controls as they were at the end.
  struct ModalRun {
    int templateId;
    int result;
    std::map<int, FakeControl> controls;
  };

  ScriptedOperator boxes;
  ScriptedPicker picker;
  // The operator's turn in a modal window that waits: false when there is
  // nothing more to do.
  std::function<bool(FakeDialogWindow&)> whenWaiting;
  std::vector<ModalRun> modalRuns;
};

class FakeDialogWindow : public FakeControlsOf<DialogWindow> {
 public:
  static constexpr int kStuckResult = -1;

  // Built in the user's language, as a toolkit builds it.
  FakeDialogWindow(DialogHandlers& handlers, FakeOperatorScript& script);

  // OnInitDialog, as the window is about to be shown.
  void Open();
  // Open, then the modal loop; the result the dialog ended with.
  int Run();

  // Events as a toolkit delivers them. A click on a disabled control is not
  // delivered; a click on a check box toggles it first.
  bool Click(int id);
  void PressEsc() { handlers_.OnCancel(); }
  void FireTimer(int timerId) { handlers_.OnTimer(timerId); }
  // Queues an event for the next PumpPendingEvents or turn of the modal
  // loop; may be called from any thread.
  void Post(std::function<void()> event);

  // What the handlers did to the window.
  std::string SelectedText(int id) const;
  std::optional<int> result() const { return result_; }
  bool iconSet() const { return iconSet_; }
  int shown() const { return shown_; }
  int progressHigh() const { return progressHigh_; }
  int progressPosition() const { return progressPosition_; }
  bool TimerActive(int timerId) const { return timers_.count(timerId) != 0; }

  // DialogControls: SetControlText also clears the field's selection, and a
  // list takes only an index of its entries (others clear it).
  void SetControlText(int id, const std::string& text) override;
  void SetListSelection(int id, int index) override;
  std::string ControlText(int id) const override;

  // DialogWindow
  void SelectText(int id, std::size_t start, std::size_t end) override {
    selections_[id] = {start, end};
  }
  void AddListEntry(int id, const std::string& text) override { listEntries_[id].push_back(text); }
  void SetProgressRange(int /*id*/, int /*low*/, int high) override { progressHigh_ = high; }
  void SetProgressPosition(int /*id*/, int position) override { progressPosition_ = position; }
  void StartTimer(int timerId, int milliseconds) override { timers_[timerId] = milliseconds; }
  void KillTimer(int timerId) override { timers_.erase(timerId); }
  void SetProgramIcon() override { iconSet_ = true; }
  void ShowWindow() override { ++shown_; }
  void PumpPendingEvents() override { DeliverPosted(); }
  void EndDialog(int result) override { result_ = result; }
  int RunModal(DialogHandlers& dialog) override;
  OperatorDialogs& Boxes() override { return script_.boxes; }
  FilePicker& FileOpenDialog() override { return script_.picker; }
  void ShowAbout(const std::string& /*title*/, const std::string& /*text*/) override {}
  bool ShowDocument(const std::string&, const std::string&) override { return true; }

 private:
  bool DeliverPosted();

  DialogHandlers& handlers_;
  FakeOperatorScript& script_;
  std::map<int, ControlKind> kinds_;
  std::map<int, std::vector<std::string>> listEntries_;
  std::map<int, std::pair<std::size_t, std::size_t>> selections_;  // start, end
  std::map<int, int> timers_;
  std::optional<int> result_;
  bool iconSet_ = false;
  int shown_ = 0;
  int progressHigh_ = 100;
  int progressPosition_ = 0;
  std::mutex postedMutex_;
  std::vector<std::function<void()>> posted_;
};

// The toolkit of CLoaderApp: records the language it was initialised with
// and runs each dialog in a FakeDialogWindow of the script.
class FakeDialogToolkit : public DialogToolkit {
 public:
  explicit FakeDialogToolkit(FakeOperatorScript& script) : script_(script) {}

  void Initialise(Language language) override { initialisedFor = language; }
  int RunModal(DialogHandlers& dialog) override;

  std::optional<Language> initialisedFor;

 private:
  FakeOperatorScript& script_;
};

}  // namespace zema
