#include "link/last_error.h"

#include "res/messages.h"

std::string g_lastError;
int g_lastErrorMessage = 0;
std::string g_lastErrorDetail;

void SetLastError(int message, const std::string& appended, const std::string& detail) {
  g_lastError = LoadMessage(message) + appended;
  g_lastErrorMessage = message;
  g_lastErrorDetail = detail;
}
