#include "link/last_error.h"

#include <cstring>

#include "res/messages.h"

std::string g_lastError;
int g_lastErrorMessage = 0;
std::string g_lastErrorDetail;

void SetLastError(int message, const std::string& appended, const std::string& detail) {
  SetLastErrorText(message, LoadMessage(message) + appended, detail);
}

void SetLastErrorText(int message, const std::string& text, const std::string& detail) {
  g_lastError = text;
  g_lastErrorMessage = message;
  g_lastErrorDetail = detail;
}

std::string SystemCauseDetail(const std::string& subject, int error) {
  return error != 0 ? subject + ": " + std::strerror(error) : subject;
}
