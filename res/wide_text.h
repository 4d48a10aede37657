// UTF-8, the program's own text encoding, and UTF-16, the one of the wide
// Windows calls, into each other. Windows only: on POSIX the system takes
// UTF-8 as it is.
#pragma once

#ifdef _WIN32

#include <string>

namespace zema {

std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& text);
std::string Utf8FromWide(const wchar_t* text);

// Text in the system's ANSI code page (what narrow Windows calls and older
// programs use) and UTF-8 into each other. AnsiFromUtf8 fails (returns
// false) when a character has no exact equivalent in that code page.
std::string Utf8FromAnsi(const std::string& text);
bool AnsiFromUtf8(const std::string& text, std::string& ansi);

}  // namespace zema

#endif
