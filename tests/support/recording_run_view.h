// A run view that records what the run showed, in order, for tests of the
// transfer run. An optional hook runs on every event pump, standing in for
// the operator's clicks between two blocks.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frontend/run_view.h"

namespace zema {

class RecordingRunView : public RunView {
 public:
  enum class Kind { Step, Detail, Range, Position, Show, Pump, OfferOk, End };
  struct Event {
    Kind kind;
    std::string text;  // Step, Detail
    int value = 0;     // Range (high), Position, End (result)
  };

  void SetStepLine(const std::string& text) override { events.push_back({Kind::Step, text, 0}); }
  void SetDetailLine(const std::string& text) override { events.push_back({Kind::Detail, text, 0}); }
  void SetProgressRange(int low, int high) override {
    rangeLow = low;
    events.push_back({Kind::Range, {}, high});
  }
  void SetProgressPosition(int position) override {
    events.push_back({Kind::Position, {}, position});
  }
  void ShowWindow() override { events.push_back({Kind::Show, {}, 0}); }
  void PumpPendingEvent() override {
    events.push_back({Kind::Pump, {}, 0});
    if (onPump) onPump();
  }
  void OfferOk() override { events.push_back({Kind::OfferOk, {}, 0}); }
  void EndDialog(int result) override { events.push_back({Kind::End, {}, result}); }

  // The texts of the step line and of the detail line, in order.
  std::vector<std::string> StepLines() const;
  std::vector<std::string> DetailLines() const;
  // The progress positions, in order.
  std::vector<int> Positions() const;
  // True when every position change was followed by showing the window.
  bool EveryPositionShown() const;
  int Count(Kind kind) const;
  // The result the run ended the window with, if it did.
  std::optional<int> EndResult() const;
  std::string LastStepLine() const;
  std::string LastDetailLine() const;

  std::vector<Event> events;
  int rangeLow = -1;
  std::function<void()> onPump;
};

}  // namespace zema
