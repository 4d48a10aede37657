#include "backup/time_stamp.h"

#include <cstdio>
#include <ctime>

namespace zema {

namespace {

std::tm BrokenDown(std::time_t t, bool local) {
  std::tm parts{};
#ifdef _WIN32
  local ? ::localtime_s(&parts, &t) : ::gmtime_s(&parts, &t);
#else
  local ? ::localtime_r(&t, &parts) : ::gmtime_r(&t, &parts);
#endif
  return parts;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(long long year, int month, int day) {
  year -= month <= 2;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long yearOfEra = year - era * 400;
  const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

long long SecondsOf(const std::tm& parts) {
  return DaysFromCivil(parts.tm_year + 1900LL, parts.tm_mon + 1, parts.tm_mday) * 86400 +
         parts.tm_hour * 3600 + parts.tm_min * 60 + parts.tm_sec;
}

}  // namespace

std::string LocalIsoTime(WallClock::time_point when) {
  const std::time_t t = WallClock::to_time_t(when);
  const std::tm local = BrokenDown(t, true);
  // The offset is what the local clock shows beyond UTC at that moment.
  const long long offset = SecondsOf(local) - SecondsOf(BrokenDown(t, false));
  const long long minutes = (offset < 0 ? -offset : offset) / 60;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
  return text;
}

std::string FolderStamp(WallClock::time_point when) {
  const std::tm utc = BrokenDown(WallClock::to_time_t(when), false);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d%02d%02dZ", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  return text;
}

bool IsFolderStamp(std::string_view name) {
  constexpr std::string_view kForm = "dddd-dd-ddTddddddZ";
  if (name.size() != kForm.size() && name.size() != kForm.size() + 3) return false;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (std::size_t i = 0; i < kForm.size(); ++i) {
    if (kForm[i] == 'd' ? !digit(name[i]) : name[i] != kForm[i]) return false;
  }
  if (name.size() == kForm.size()) return true;
  const std::string_view count = name.substr(kForm.size());
  return count[0] == '-' && digit(count[1]) && digit(count[2]) && count.substr(1) >= "02";
}

}  // namespace zema
