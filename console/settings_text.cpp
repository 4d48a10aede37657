#include "console/settings_text.h"

#ifdef _WIN32
#include "res/wide_text.h"
#endif

namespace {

[[maybe_unused]] constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
[[maybe_unused]] constexpr std::size_t kUtf8MarkLength = sizeof kUtf8Mark - 1;

}  // namespace

std::string BaseNameFromSettings(const std::string& stored) {
#ifdef _WIN32
  if (stored.starts_with(kUtf8Mark)) return stored.substr(kUtf8MarkLength);
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
