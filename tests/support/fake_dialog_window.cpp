#include "tests/support/fake_dialog_window.h"

#include <utility>

#include "res/dialog_templates.h"

namespace zema {

namespace {

// The default operator presses the default button (or Esc) this often
// before a dialog that does not end counts as stuck; a repeating timer that
// never ends its dialog is stopped alike.
constexpr int kIdleTurnsAllowed = 2;
constexpr int kTurnsAllowed = 100000;

}  // namespace

bool ScriptedPicker::PickFile(std::span<const FileFilter> filters,
                              const std::string& initialFolder, std::string& chosenPath) {
  offered = filters;
  openedIn = initialFolder;
  if (queued.empty()) return false;
  const std::optional<std::string> next = queued.front();
  queued.erase(queued.begin());
  if (!next) return false;
  chosenPath = *next;
  return true;
}

FakeDialogWindow::FakeDialogWindow(DialogHandlers& handlers, FakeOperatorScript& script)
    : handlers_(handlers), script_(script) {
  for (const ControlTemplate& control : handlers.Template().controls) {
    if (control.id == kNoControlId) continue;
    Control& state = controls_[control.id];
    state.enabled = control.enabled;
    state.text = control.Caption(CurrentLanguage());
    kinds_[control.id] = control.kind;
    if (!control.items.empty()) {
      listEntries_[control.id].assign(control.items.begin(), control.items.end());
    }
  }
}

void FakeDialogWindow::Open() { handlers_.OnInitDialog(*this); }

int FakeDialogWindow::Run() {
  Open();
  int idleTurns = 0;
  for (int turn = 0; !result_ && turn < kTurnsAllowed; ++turn) {
    if (DeliverPosted()) continue;
    if (!timers_.empty()) {
      FireTimer(timers_.begin()->first);
      continue;
    }
    if (script_.whenWaiting) {
      if (!script_.whenWaiting(*this)) break;
    } else {
      if (++idleTurns > kIdleTurnsAllowed) break;
      if (!Click(kCtlOk)) PressEsc();
    }
  }
  if (!result_) result_ = kStuckResult;
  return *result_;
}

bool FakeDialogWindow::Click(int id) {
  auto kind = kinds_.find(id);
  if (kind == kinds_.end() || !IsControlEnabled(id)) return false;
  if (kind->second == ControlKind::CheckBox) SetChecked(id, !IsChecked(id));
  handlers_.OnCommand(id);
  return true;
}

void FakeDialogWindow::Post(std::function<void()> event) {
  const std::lock_guard<std::mutex> lock(postedMutex_);
  posted_.push_back(std::move(event));
}

bool FakeDialogWindow::DeliverPosted() {
  std::vector<std::function<void()>> events;
  {
    const std::lock_guard<std::mutex> lock(postedMutex_);
    events.swap(posted_);
  }
  for (const auto& event : events) event();
  return !events.empty();
}

std::string FakeDialogWindow::SelectedText(int id) const {
  auto it = selections_.find(id);
  if (it == selections_.end()) return {};
  return Get(id).text.substr(it->second.first, it->second.second - it->second.first);
}

void FakeDialogWindow::SetControlText(int id, const std::string& text) {
  selections_.erase(id);
  FakeControlsOf::SetControlText(id, text);
}

void FakeDialogWindow::SetListSelection(int id, int index) {
  auto entries = listEntries_.find(id);
  const bool inList = entries != listEntries_.end() && index >= 0 &&
                      index < static_cast<int>(entries->second.size());
  FakeControlsOf::SetListSelection(id, inList ? index : -1);
}

std::string FakeDialogWindow::ControlText(int id) const {
  auto entries = listEntries_.find(id);
  if (entries == listEntries_.end()) return FakeControlsOf::ControlText(id);
  const int selection = ListSelection(id);
  return selection < 0 ? std::string() : entries->second[static_cast<std::size_t>(selection)];
}

int FakeDialogWindow::RunModal(DialogHandlers& dialog) {
  FakeDialogWindow child(dialog, script_);
  const int result = child.Run();
  script_.modalRuns.push_back({dialog.Template().id, result, child.controls_});
  return result;
}

int FakeDialogToolkit::RunModal(DialogHandlers& dialog) {
  FakeDialogWindow window(dialog, script_);
  const int result = window.Run();
  script_.modalRuns.push_back({dialog.Template().id, result, {}});
  return result;
}

}  // namespace zema
