// The last failure the operator is to be told about, kept whole: the text
// shown, the number of the message it was made from, and what the system
// said about its cause.
#pragma once

#include <string>

// Text of the last failure (a message in the user's language, sometimes
// followed by a file's path).
extern std::string g_lastError;
// Number of the message g_lastError was made from; 0 when none is set.
extern int g_lastErrorMessage;
// What the system gave as the cause (a device path and its error), shown
// under the text; empty when the failure has no such cause.
extern std::string g_lastErrorDetail;

// Sets all three: g_lastError to message `message`, followed by `appended`.
void SetLastError(int message, const std::string& appended = std::string(),
                  const std::string& detail = std::string());

// Sets all three: g_lastError to `text`, made from message `message`.
void SetLastErrorText(int message, const std::string& text,
                      const std::string& detail = std::string());

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
