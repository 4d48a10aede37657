// Test doubles for the "controls by id" and "operator questions and reports"
// interfaces: they keep control state in memory and answer questions from a
// script, recording every box that was shown.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "frontend/dialog_controls.h"
#include "frontend/operator_dialogs.h"

namespace zema {

// The state of one control kept in memory.
struct FakeControl {
  bool enabled = true;
  std::string text;
  bool checked = false;
  int selection = -1;
};

// Controls kept in memory. `Base` is DialogControls, or an interface that
// extends it (a fake window).
template <class Base>
class FakeControlsOf : public Base {
 public:
  using Control = FakeControl;

  void EnableControl(int id, bool enabled) override { controls_[id].enabled = enabled; }
  bool IsControlEnabled(int id) const override { return Get(id).enabled; }
  void SetControlText(int id, const std::string& text) override { controls_[id].text = text; }
  std::string ControlText(int id) const override { return Get(id).text; }
  bool IsChecked(int id) const override { return Get(id).checked; }
  void SetChecked(int id, bool checked) override { controls_[id].checked = checked; }
  int ListSelection(int id) const override { return Get(id).selection; }
  void SetListSelection(int id, int index) override { controls_[id].selection = index; }
  void SetFocusTo(int id) override { focus_ = id; }

  int focus() const { return focus_; }
  Control& operator[](int id) { return controls_[id]; }

 protected:
  Control Get(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? Control{} : it->second;
  }
  std::map<int, Control> controls_;
  int focus_ = 0;
};

using FakeControls = FakeControlsOf<DialogControls>;

class ScriptedOperator : public OperatorDialogs {
 public:
  struct Box {
    std::string text;
    std::string caption;
    BoxIcon icon;
    bool question;       // Yes/No box (else an error box)
    int message = 0;     // the question's number (questions only)
    std::string detail;  // the cause under an error's text (errors only)
  };

  // Answers for the coming questions, in order; a question with no answer
  // left is answered No and counted in unexpectedQuestions.
  void QueueAnswers(std::initializer_list<bool> answers) {
    answers_.insert(answers_.end(), answers.begin(), answers.end());
  }

  using OperatorDialogs::ShowError;
  bool AskYesNo(int question, const std::string& text, const std::string& caption,
                BoxIcon icon) override {
    boxes.push_back({text, caption, icon, true, question, {}});
    // The operator may act on the windows while the box is up.
    if (whileAsking) whileAsking(boxes.back());
    if (answers_.empty()) {
      ++unexpectedQuestions;
      return false;
    }
    bool answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  void ShowError(const std::string& text, const std::string& detail) override {
    boxes.push_back({text, "Error", BoxIcon::Stop, false, 0, detail});
  }

  std::vector<Box> boxes;
  int unexpectedQuestions = 0;
  std::function<void(const Box&)> whileAsking;

 private:
  std::deque<bool> answers_;
};

}  // namespace zema
