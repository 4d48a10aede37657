#include "res/wide_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zema {

#ifdef _WIN32
namespace {

std::wstring Widen(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

std::wstring WideFromUtf8(const std::string& text) { return Widen(CP_UTF8, text); }

std::string Utf8FromWide(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string Utf8FromWide(const wchar_t* text) {
  return text == nullptr ? std::string() : Utf8FromWide(std::wstring(text));
}

std::string Utf8FromAnsi(const std::string& text) { return Utf8FromWide(Widen(CP_ACP, text)); }

bool AnsiFromUtf8(const std::string& text, std::string& ansi) {
  const std::wstring wide = WideFromUtf8(text);
  ansi.clear();
  if (wide.empty()) return true;
  // A system set to UTF-8 as its ANSI code page holds every character.
  if (::GetACP() == CP_UTF8) {
    ansi = text;
    return true;
  }
  const int size = static_cast<int>(wide.size());
  // No best fit: "ü" on a code page without it must not become "u".
  BOOL lost = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                           0, nullptr, &lost);
  if (length <= 0 || lost) return false;
  ansi.assign(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, ansi.data(), length,
                        nullptr, &lost);
  return !lost && Widen(CP_ACP, ansi) == wide;
}

#endif

}  // namespace zema
