#include "formats/source_file.h"

#include <sys/stat.h>

#include "formats/utf8_path.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

std::FILE* OpenRegularFile(const std::string& path) {
#ifdef _WIN32
  // A folder cannot be opened here at all; a device name (CON, NUL, COM1)
  // can, and is told apart by its type.
  std::FILE* stream = OpenUtf8Path(path, "rb");
  if (stream == nullptr) return nullptr;
  struct _stat64 info {};
  if (::_fstat64(::_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
    std::fclose(stream);
    return nullptr;
  }
  return stream;
#else
  // Anything but a regular file is refused before it is opened: opening a
  // device may already do something. The check is made again on the open
  // descriptor, as the name may have changed meanwhile; O_NONBLOCK keeps a
  // FIFO put there from blocking the opening.
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  const int flags = ::fcntl(fd, F_GETFL);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
      ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return nullptr;
  }
  std::FILE* stream = ::fdopen(fd, "rb");
  if (stream == nullptr) ::close(fd);
  return stream;
#endif
}

bool SourceFile::Open(const std::string& path) {
  Close();
  stream_ = OpenRegularFile(path);
  return stream_ != nullptr;
}

std::size_t SourceFile::Read(std::span<std::uint8_t> bytes) {
  if (stream_ == nullptr || bytes.empty()) return 0;
  return std::fread(bytes.data(), 1, bytes.size(), stream_);
}

void SourceFile::Close() {
  if (stream_ == nullptr) return;
  std::fclose(stream_);
  stream_ = nullptr;
}
