#include "formats/utf8_path.h"

#ifdef _WIN32
#include "res/wide_text.h"
#endif

std::FILE* OpenUtf8Path(const std::string& path, const char* mode) {
#ifdef _WIN32
  return ::_wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}

std::filesystem::path PathFromUtf8(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}
