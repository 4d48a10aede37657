#include "formats/in_place_file.h"

#include <algorithm>
#include <cerrno>

#include "formats/utf8_path.h"
#include "formats/write_target.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

namespace {

HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }

bool SetLength(HANDLE file, LONGLONG length) {
  LARGE_INTEGER at{};
  at.QuadPart = length;
  return ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0 && ::SetEndOfFile(file) != 0;
}

bool WriteFrom(HANDLE file, std::span<const std::uint8_t> content) {
  LARGE_INTEGER start{};
  if (::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) == 0) return false;
  std::size_t done = 0;
  while (done < content.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(content.size() - done, 1u << 20));
    DWORD written = 0;
    if (::WriteFile(file, content.data() + done, chunk, &written, nullptr) == 0 || written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

}  // namespace

bool InPlaceFile::Open(const std::string& path) {
  Close();
  // The wide call, so that a name the ANSI code page lacks names its file.
  const HANDLE file =
      ::CreateFileW(PathFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    NoteLastWindowsError();
    return false;
  }
  // A device of the file's name opens as well.
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    errno = EINVAL;
    return false;
  }
  handle_ = file;
  return true;
}

bool InPlaceFile::isOpen() const { return handle_ != nullptr; }

bool InPlaceFile::Replace(std::span<const std::uint8_t> content) {
  if (handle_ == nullptr) return false;
  const HANDLE file = AsHandle(handle_);
  const auto length = static_cast<LONGLONG>(content.size());
  LARGE_INTEGER old{};
  const bool replaced =
      ::GetFileSizeEx(file, &old) != 0 && (length <= old.QuadPart || SetLength(file, length)) &&
      WriteFrom(file, content) && SetLength(file, length) && ::FlushFileBuffers(file) != 0;
  if (!replaced) NoteLastWindowsError();
  const bool closed = ::CloseHandle(file) != 0;
  handle_ = nullptr;
  return replaced && closed;
}

void InPlaceFile::Close() {
  if (handle_ == nullptr) return;
  ::CloseHandle(AsHandle(handle_));
  handle_ = nullptr;
}

#else

namespace {

// Only a file system that is full, or a file past its size limit, makes a
// failed reservation fatal: one that cannot reserve room (NFSv3, sshfs and
// other FUSE file systems answer EOPNOTSUPP, and the C library's emulation
// may then fail in other ways) still takes the write; the reservation only
// moves a full disk's failure forward.
bool ReserveRoom(int fd, std::size_t length) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  if (static_cast<std::size_t>(info.st_size) >= length) return true;
  const int result = ::posix_fallocate(fd, 0, static_cast<off_t>(length));
  if (result != ENOSPC && result != EDQUOT && result != EFBIG) return true;
  errno = result;
  return false;
}

bool WriteFrom(int fd, std::span<const std::uint8_t> content) {
  std::size_t done = 0;
  while (done < content.size()) {
    const ssize_t written =
        ::pwrite(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = EIO;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool InPlaceFile::Open(const std::string& path) {
  Close();
  // O_NONBLOCK: a FIFO of the file's name must not block the opening.
  // O_NOFOLLOW: the path names the file itself, so a link put in its place
  // since is not followed. Read access too where granted: the C library's
  // reservation of room, where the file system has none of its own, reads
  // the file.
  constexpr int kFlags = O_NOCTTY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
  int fd = ::open(path.c_str(), O_RDWR | kFlags);
  if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kFlags);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return false;
  }
  fd_ = fd;
  return true;
}

bool InPlaceFile::isOpen() const { return fd_ >= 0; }

bool InPlaceFile::Replace(std::span<const std::uint8_t> content) {
  if (fd_ < 0) return false;
  const bool replaced = ReserveRoom(fd_, content.size()) && WriteFrom(fd_, content) &&
                        ::ftruncate(fd_, static_cast<off_t>(content.size())) == 0 &&
                        ::fsync(fd_) == 0;
  const int cause = errno;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!replaced) errno = cause;
  return replaced && closed;
}

void InPlaceFile::Close() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
}

#endif
