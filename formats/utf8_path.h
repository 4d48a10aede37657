// File paths as the program holds them (UTF-8, like every text of it) at
// the system's file calls.
//
// POSIX takes the bytes as they are. Windows gets them as UTF-16 through
// the wide calls, so that a name of any language ("C:\Prüfung\line1",
// "C:\検査\line1") names exactly that file, whatever the system's ANSI
// code page holds; the narrow calls would turn what it lacks into "?".
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// fopen for a UTF-8 path (_wfopen on Windows).
std::FILE* OpenUtf8Path(const std::string& path, const char* mode);

// A UTF-8 path as std::filesystem takes it, and back.
std::filesystem::path PathFromUtf8(const std::string& path);
std::string Utf8FromPath(const std::filesystem::path& path);
