// Path questions that must not throw: a listing goes on past a link to
// nothing or a folder it may not read.
#pragma once

#include <filesystem>
#include <system_error>

namespace zema {

// The path with every link followed; empty when it leads nowhere.
inline std::filesystem::path ResolvedPath(const std::filesystem::path& path) {
  std::error_code error;
  std::filesystem::path resolved = std::filesystem::canonical(path, error);
  return error ? std::filesystem::path() : resolved;
}

inline bool PathExists(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

inline bool IsSymlink(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_symlink(path, error);
}

}  // namespace zema
