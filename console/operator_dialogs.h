// "Operator questions and reports": the modal message boxes of the program.
//
// Captions are the fixed English words of the message-box conventions in
// every language; the texts come from the message table.
#pragma once

#include <string>

enum class BoxIcon { Stop, Warning, Question };  // Warning: the exclamation mark

inline constexpr char kCaptionError[] = "Error";
inline constexpr char kCaptionWarning[] = "Warning";
inline constexpr char kCaptionWarningBang[] = "Warning!";
inline constexpr char kCaptionQuestion[] = "Question";

class OperatorDialogs {
 public:
  virtual ~OperatorDialogs() = default;

  // A Yes/No box; true only when the operator answered Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption, BoxIcon icon) = 0;

  // An OK box with caption "Error" and the stop icon.
  virtual void ShowError(const std::string& text) = 0;
};
