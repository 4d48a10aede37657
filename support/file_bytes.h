// Whole files for tests and benchmarks, read and written in binary mode.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace zema {

// Files by name (or path), with their bytes.
using FolderFiles = std::map<std::string, std::string>;

// The file's bytes; an empty text when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& path);
// Creates or replaces the file with exactly these bytes; false when that
// failed.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);
// The names of a folder's entries, sorted; none when there is no such folder.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);
// Every file of a folder (not its subfolders' files) by name, with its bytes.
FolderFiles FolderContents(const std::filesystem::path& folder);

}  // namespace zema
