// "Operator questions and reports": the modal message boxes of the program.
//
// Captions are the fixed English words of the message-box conventions in
// every language; the texts come from the message table.
#pragma once

#include <string>

namespace zema {

enum class BoxIcon { Stop, Warning, Question };  // Warning: the exclamation mark

inline constexpr char kCaptionError[] = "Error";
inline constexpr char kCaptionWarning[] = "Warning";
inline constexpr char kCaptionWarningBang[] = "Warning!";
inline constexpr char kCaptionQuestion[] = "Question";

class OperatorDialogs {
 public:
  virtual ~OperatorDialogs() = default;

  // A Yes/No box; true only when the operator answered Yes. `question` is
  // the number of the message that asks (107, 109, 119, 127 for a missing
  // parameter or pattern file, 130 for the compensation file, ...), so that
  // a front end without a person in front of it can answer from its
  // options; `text` is the whole text shown.
  virtual bool AskYesNo(int question, const std::string& text, const std::string& caption,
                        BoxIcon icon) = 0;

  // An OK box with caption "Error" and the stop icon. `detail`, when not
  // empty, says what the system reported as the cause (a device path and
  // its error), shown below the text.
  virtual void ShowError(const std::string& text, const std::string& detail) = 0;
  void ShowError(const std::string& text) { ShowError(text, std::string()); }
};

}  // namespace zema
