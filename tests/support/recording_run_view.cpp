#include "tests/support/recording_run_view.h"

#include <algorithm>

namespace zema {

namespace {

std::vector<std::string> TextsOf(const std::vector<RecordingRunView::Event>& events,
                                 RecordingRunView::Kind kind) {
  std::vector<std::string> lines;
  for (const auto& event : events) {
    if (event.kind == kind) lines.push_back(event.text);
  }
  return lines;
}

}  // namespace

std::vector<std::string> RecordingRunView::StepLines() const { return TextsOf(events, Kind::Step); }

std::vector<std::string> RecordingRunView::DetailLines() const {
  return TextsOf(events, Kind::Detail);
}

std::vector<int> RecordingRunView::Positions() const {
  std::vector<int> positions;
  for (const Event& event : events) {
    if (event.kind == Kind::Position) positions.push_back(event.value);
  }
  return positions;
}

bool RecordingRunView::EveryPositionShown() const {
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].kind != Kind::Position) continue;
    if (i + 1 >= events.size() || events[i + 1].kind != Kind::Show) return false;
  }
  return true;
}

int RecordingRunView::Count(Kind kind) const {
  return static_cast<int>(
      std::count_if(events.begin(), events.end(), [&](const Event& e) { return e.kind == kind; }));
}

std::optional<int> RecordingRunView::EndResult() const {
  for (auto it = events.rbegin(); it != events.rend(); ++it) {
    if (it->kind == Kind::End) return it->value;
  }
  return std::nullopt;
}

std::string RecordingRunView::LastStepLine() const {
  for (auto it = events.rbegin(); it != events.rend(); ++it) {
    if (it->kind == Kind::Step) return it->text;
  }
  return {};
}

std::string RecordingRunView::LastDetailLine() const {
  for (auto it = events.rbegin(); it != events.rend(); ++it) {
    if (it->kind == Kind::Detail) return it->text;
  }
  return {};
}

}  // namespace zema
