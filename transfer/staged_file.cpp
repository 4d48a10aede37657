#include "transfer/staged_file.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32

std::FILE* CreateUniqueFile(std::string& pathTemplate) {
  std::vector<char> name(pathTemplate.begin(), pathTemplate.end());
  name.push_back('\0');
  if (_mktemp_s(name.data(), name.size()) != 0) return nullptr;
  pathTemplate = name.data();
  // The name is unused at this moment; older C runtimes do not know "x".
  return std::fopen(pathTemplate.c_str(), "wb");
}

#else

// The mode a file created with fopen(..., "wb") would get: an existing
// target keeps its own, a new one gets 0666 less the process's umask.
mode_t ModeForTarget(const std::string& targetPath) {
  struct stat existing {};
  if (::stat(targetPath.c_str(), &existing) == 0) return existing.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::FILE* CreateUniqueFile(std::string& pathTemplate, const std::string& targetPath) {
  std::vector<char> name(pathTemplate.begin(), pathTemplate.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return nullptr;
  pathTemplate = name.data();
  // mkstemp creates the file readable by its owner only.
  (void)::fchmod(fd, ModeForTarget(targetPath));
  std::FILE* stream = ::fdopen(fd, "wb");
  if (stream == nullptr) {
    ::close(fd);
    ::unlink(pathTemplate.c_str());
  }
  return stream;
}

#endif

}  // namespace

StagedFile::~StagedFile() { Discard(); }

bool StagedFile::Create(const std::string& targetPath) {
  Discard();
  targetPath_ = targetPath;
  tempPath_ = targetPath + ".XXXXXX";
#ifdef _WIN32
  stream_ = CreateUniqueFile(tempPath_);
#else
  stream_ = CreateUniqueFile(tempPath_, targetPath);
#endif
  if (stream_ == nullptr) tempPath_.clear();
  return stream_ != nullptr;
}

bool StagedFile::Write(std::span<const std::uint8_t> bytes) {
  if (stream_ == nullptr) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
}

bool StagedFile::Commit() {
  if (stream_ == nullptr) return false;
  const bool written = std::ferror(stream_) == 0;
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  std::error_code error;
  if (written && closed) {
    std::filesystem::rename(tempPath_, targetPath_, error);
    if (!error) {
      tempPath_.clear();
      return true;
    }
  }
  std::filesystem::remove(tempPath_, error);
  tempPath_.clear();
  return false;
}

void StagedFile::Discard() {
  if (stream_ == nullptr) return;
  std::fclose(stream_);
  stream_ = nullptr;
  std::error_code error;
  std::filesystem::remove(tempPath_, error);
  tempPath_.clear();
}
