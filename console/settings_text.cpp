#include "console/settings_text.h"

#ifdef _WIN32
#include <windows.h>

#include "res/wide_text.h"
#endif

namespace zema {

namespace {

constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
constexpr std::size_t kUtf8MarkLength = sizeof kUtf8Mark - 1;

#ifdef _WIN32
bool IsUtf8(const std::string& text) {
  if (text.empty()) return true;
  return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) > 0;
}
#endif

}  // namespace

std::string BaseNameFromSettings(const std::string& stored) {
  if (stored.starts_with(kUtf8Mark)) return stored.substr(kUtf8MarkLength);
#ifdef _WIN32
  if (IsUtf8(stored)) return stored;
  return Utf8FromAnsi(stored);
#else
  return stored;
#endif
}

std::string BaseNameForSettings(const std::string& name) {
#ifdef _WIN32
  std::string ansi;
  if (AnsiFromUtf8(name, ansi)) return ansi;
  return kUtf8Mark + name;
#else
  return name;
#endif
}

}  // namespace zema
