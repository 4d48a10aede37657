// "Run view": what the transfer run needs of the window that shows it.
//
// The progress dialog, the test doubles and the command line each implement
// it, so the run itself never sees a widget.
#pragma once

#include <string>

namespace zema {

// Results with which the run ends its window.
inline constexpr int kRunResultFailed = 0;  // after the error box
inline constexpr int kRunResultOk = 1;      // the OK action

class RunView {
 public:
  virtual ~RunView() = default;

  // Control 1051: the title of the current step.
  virtual void SetStepLine(const std::string& text) = 0;
  // Control 1053: the bank number or the flash-write notice.
  virtual void SetDetailLine(const std::string& text) = 0;
  // Control 1050.
  virtual void SetProgressRange(int low, int high) = 0;
  virtual void SetProgressPosition(int position) = 0;
  // Makes the window visible (again).
  virtual void ShowWindow() = 0;

  // Handles at most one waiting event of the user-interface thread (a
  // CANCEL click, painting, the close box), so that the operator can stop a
  // long step between two blocks.
  virtual void PumpPendingEvent() = 0;

  // The finish: enable OK, disable CANCEL and give OK the focus.
  virtual void OfferOk() = 0;
  // Ends the window with a result; a window run modally closes as soon as
  // the run has returned.
  virtual void EndDialog(int result) = 0;
};

}  // namespace zema
