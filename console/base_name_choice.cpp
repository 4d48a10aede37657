#include "console/base_name_choice.h"

#include <filesystem>
#include <system_error>

#include "formats/utf8_path.h"

const std::array<FileFilter, 4> kBaseNameFilters = {{
    {"ZEMA Files ( *.zema *.bmp )", "*.zema;*.bmp"},
    {"ZEMA Parameter File ( *.zema )", "*.zema"},
    {"ZEMA Pattern File ( *.bmp )", "*.bmp"},
    {"All files(*.*)", "*.*"},
}};

namespace {

bool IsFolderSeparator(char c) { return c == '/' || c == '\\'; }

// True when `path` ends in "." + three characters + `extension` (with its
// dot), the three characters holding no folder separator.
bool EndsInRunSuffix(std::string_view path, std::string_view extension) {
  const std::size_t suffixLength = 4 + extension.size();
  if (path.size() < suffixLength || !path.ends_with(extension)) return false;
  const std::string_view suffix = path.substr(path.size() - suffixLength);
  return suffix[0] == '.' && !IsFolderSeparator(suffix[1]) && !IsFolderSeparator(suffix[2]) &&
         !IsFolderSeparator(suffix[3]);
}

}  // namespace

std::string CutTransferSuffix(std::string_view path) {
  constexpr std::size_t kShortestCut = 9;
  if (path.size() >= kShortestCut) {
    if (EndsInRunSuffix(path, ".zema")) return std::string(path.substr(0, path.size() - 9));
    if (EndsInRunSuffix(path, ".bmp")) return std::string(path.substr(0, path.size() - 8));
  }
  return std::string(path);
}

std::size_t FileNamePartStart(std::string_view text) {
  const std::size_t separator = text.find_last_of("\\/");
  return separator == std::string_view::npos ? 0 : separator + 1;
}

std::string InitialFolderOf(std::string_view baseName) {
  const std::size_t nameStart = FileNamePartStart(baseName);
  if (nameStart == 0) return {};
  // The separator ends the folder, except the root's own ("/", "C:\\").
  std::string folder(baseName.substr(0, nameStart - 1));
  if (folder.empty() || folder.back() == ':') folder = baseName.substr(0, nameStart);
  std::error_code error;
  return std::filesystem::is_directory(PathFromUtf8(folder), error) ? folder : std::string();
}
