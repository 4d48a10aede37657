// A failure the operator is to be told about, kept whole: the text shown,
// the number of the message it was made from, and what the system said
// about its cause. The link, the run and the connection sequences all hand
// one back; the dialog turns it into an error box, the command line into a
// message and an exit status, the tests into a verdict.
#pragma once

#include <optional>
#include <string>

struct Failure {
  int message = 0;     // number of the message `text` was made from
  std::string text;    // in the user's language, sometimes followed by a file's path
  std::string detail;  // the system's cause, shown under the text; may be empty
};

// A failure with message `message`, followed by `appended`, as its text.
Failure MessageFailure(int message, const std::string& appended = std::string(),
                       const std::string& detail = std::string());

// What an operation that hands back a value returns: the value, or why
// there is none (then `value` is as default-constructed).
template <typename T>
struct Result {
  T value{};
  std::optional<Failure> failure;

  bool ok() const { return !failure; }
};

// A detail line naming `subject` (a file, a device) and the system's words
// for `error` (an errno value); `subject` alone when error is 0. On Windows
// the words are Windows' own for the same cause, in the user's language
// (WindowsErrorText): the thread's last error where it has the errno's
// meaning, else the Windows error the C runtime turns into that errno.
std::string SystemCauseDetail(const std::string& subject, int error);

#ifdef _WIN32
// What Windows says of an error code (FormatMessageW), in the user's
// interface language where the system has it, else in English, in UTF-8
// and without the line end.
std::string WindowsErrorText(unsigned long code);
#endif
