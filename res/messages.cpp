#include "res/messages.h"

#include <array>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "res/message_table.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zema {

namespace {

std::optional<Language> g_language;

// The table as std::strings, built once: callers keep references to them.
struct LoadedTexts {
  std::array<std::array<std::string, 3>, kMessageNumbers> texts;
  LoadedTexts() {
    for (const MessageRow& row : kMessageTable) {
      texts[static_cast<std::size_t>(row.id - kFirstMessage)] = {row.english, row.german,
                                                                  row.japanese};
    }
  }
};

const LoadedTexts& Texts() {
  static const LoadedTexts loaded;
  return loaded;
}

#ifndef _WIN32
Language LanguageFromLocaleName(std::string_view name) {
  if (name.substr(0, 2) == "de") return Language::German;
  if (name.substr(0, 2) == "ja") return Language::Japanese;
  return Language::English;
}
#endif

}  // namespace

Language DetectLanguage() {
#ifdef _WIN32
  switch (PRIMARYLANGID(GetUserDefaultUILanguage())) {
    case LANG_GERMAN:
      return Language::German;
    case LANG_JAPANESE:
      return Language::Japanese;
    default:
      return Language::English;
  }
#else
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return LanguageFromLocaleName(value);
  }
  return Language::English;
#endif
}

Language CurrentLanguage() {
  if (!g_language) g_language = DetectLanguage();
  return *g_language;
}

void SetLanguage(Language language) { g_language = language; }

const std::string& LoadMessage(int id) { return LoadMessage(id, CurrentLanguage()); }

std::string FillMessage(int id, std::initializer_list<std::string> arguments) {
  const std::string& pattern = LoadMessage(id);
  std::string text;
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    const char next = at + 1 < pattern.size() ? pattern[at + 1] : '\0';
    const auto index = static_cast<std::size_t>(next - '1');
    if (pattern[at] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
      text += arguments.begin()[index];
      ++at;
    } else {
      text += pattern[at];
    }
  }
  return text;
}

const std::string& LoadMessage(int id, Language language) {
  static const std::string empty;
  if (id < kFirstMessage || id > kLastMessage) return empty;
  return Texts().texts[static_cast<std::size_t>(id - kFirstMessage)]
                      [static_cast<std::size_t>(language)];
}

}  // namespace zema
