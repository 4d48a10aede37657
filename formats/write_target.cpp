#include "formats/write_target.h"

#include <cerrno>
#include <utility>

#include "link/failure.h"

#ifdef _WIN32
#include <windows.h>

#include "res/wide_text.h"
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>
#endif

namespace {

// The folder a file goes into, as the user would name it: without a
// trailing separator, except for a root.
std::string FolderOf(const std::string& path) {
  const std::size_t start = FileNameStart(path);
  if (start == 0) return ".";
  std::string folder = path.substr(0, start);
#ifdef _WIN32
  const bool isRoot = folder.size() == 1 || (folder.size() <= 3 && folder[1] == ':');
#else
  const bool isRoot = folder.size() == 1;
#endif
  if (!isRoot) folder.pop_back();
  return folder;
}

WriteTarget Refused(WriteTarget target, int error, std::string subject, std::string note = {}) {
  target.refusal = error;
  target.subject = std::move(subject);
  target.note = std::move(note);
  return target;
}

}  // namespace

std::size_t FileNameStart(const std::string& path) {
#ifdef _WIN32
  const std::size_t slash = path.find_last_of("/\\:");
#else
  const std::size_t slash = path.rfind('/');
#endif
  return slash == std::string::npos ? 0 : slash + 1;
}

std::string RefusalDetail(const WriteTarget& target) {
  std::string detail = SystemCauseDetail(target.subject, target.refusal);
  if (!target.note.empty()) detail += " (" + target.note + ")";
  return detail;
}

#ifdef _WIN32

void NoteLastWindowsError() {
  switch (::GetLastError()) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      errno = ENOENT;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_WRITE_PROTECT:
      errno = EROFS;
      break;
    case ERROR_INVALID_NAME:
      errno = EINVAL;
      break;
    default:
      errno = EIO;
      break;
  }
}

void NoteRefusal(const WriteTarget& target) {
  errno = target.refusal;
  // The Windows errors of the same meaning ("An operation is not supported
  // on a directory." has no name in every SDK's headers).
  constexpr DWORD kDirectoryNotSupported = 336;
  const struct {
    int error;
    DWORD windows;
  } kSameMeaning[] = {
      {ENOENT, ERROR_PATH_NOT_FOUND},   {ENOTDIR, ERROR_DIRECTORY},
      {EISDIR, kDirectoryNotSupported}, {EACCES, ERROR_ACCESS_DENIED},
      {EINVAL, ERROR_NOT_SUPPORTED},
  };
  for (const auto& same : kSameMeaning) {
    if (same.error == target.refusal) ::SetLastError(same.windows);
  }
}

// Windows follows no link of ours by hand: the target is the file named.
WriteTarget InspectWriteTarget(const std::string& path) {
  WriteTarget target;
  target.file = path;
  const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      NoteLastWindowsError();
      return Refused(std::move(target), errno, path);
    }
    // Nothing there yet: its folder must be.
    const std::string folder = FolderOf(path);
    const DWORD folderAttributes = ::GetFileAttributesW(WideFromUtf8(folder).c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES) {
      return Refused(std::move(target), ENOENT, folder);
    }
    if ((folderAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return Refused(std::move(target), ENOTDIR, folder);
    }
    return target;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return Refused(std::move(target), EISDIR, path);
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
    return Refused(std::move(target), EINVAL, path, "not a regular file");
  }
  // "wb" could not write a file marked read-only.
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return Refused(std::move(target), EACCES, path);
  return target;
}

#else

namespace {

// The longest chain of links followed, as the system's own limit.
constexpr int kMaxLinks = 40;

bool MayWrite(const std::string& path, int mode) {
  // The effective user's rights (not the real user's, as access() checks),
  // root's override of the mode bits included.
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

constexpr int kProtectedLink = -1;

// Why this user may not follow the link `link` (its own lstat in `info`):
// kProtectedLink where the system's rule for links in shared folders
// forbids it, the folder's failure (an errno value), or 0 when it may.
int FollowRefusal(const std::string& link, const struct stat& info) {
  struct stat folder {};
  if (::stat(FolderOf(link).c_str(), &folder) != 0) return errno;
  constexpr mode_t kShared = S_ISVTX | S_IWOTH;
  if ((folder.st_mode & kShared) != kShared) return 0;
  return info.st_uid == ::geteuid() || info.st_uid == folder.st_uid ? 0 : kProtectedLink;
}

// The path a link names, taken from the link's own folder when relative;
// empty with errno set when it cannot be read.
std::string Destination(const std::string& link) {
  std::vector<char> named(PATH_MAX);
  const ssize_t length = ::readlink(link.c_str(), named.data(), named.size());
  if (length < 0) return {};
  if (length == 0 || static_cast<std::size_t>(length) >= named.size()) {
    errno = ENAMETOOLONG;
    return {};
  }
  const std::string destination(named.data(), static_cast<std::size_t>(length));
  return destination.front() == '/' ? destination
                                    : link.substr(0, FileNameStart(link)) + destination;
}

// A file that does not exist yet: its folder must exist and take it.
WriteTarget NewFile(WriteTarget target, const std::string& path) {
  const std::string folder = FolderOf(target.file);
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) return Refused(std::move(target), errno, folder);
  if (!S_ISDIR(info.st_mode)) return Refused(std::move(target), ENOTDIR, folder);
  if (!MayWrite(folder, W_OK | X_OK)) return Refused(std::move(target), errno, path);
  return target;
}

}  // namespace

void NoteRefusal(const WriteTarget& target) { errno = target.refusal; }

WriteTarget InspectWriteTarget(const std::string& path) {
  WriteTarget target;
  target.file = path;
  struct stat info {};
  for (int links = 0;; ++links) {
    if (::lstat(target.file.c_str(), &info) != 0) {
      if (errno == ENOENT || errno == ENOTDIR) return NewFile(std::move(target), path);
      return Refused(std::move(target), errno, path);
    }
    if (!S_ISLNK(info.st_mode)) break;
    if (links == kMaxLinks) return Refused(std::move(target), ELOOP, path);
    const int refusal = FollowRefusal(target.file, info);
    if (refusal == kProtectedLink) {
      return Refused(std::move(target), EACCES, path,
                     "another user's link in a sticky folder that all may write is not followed");
    }
    if (refusal != 0) return Refused(std::move(target), refusal, path);
    std::string destination = Destination(target.file);
    if (destination.empty()) return Refused(std::move(target), errno, path);
    target.file = std::move(destination);
  }
  if (S_ISDIR(info.st_mode)) return Refused(std::move(target), EISDIR, path);
  if (!S_ISREG(info.st_mode)) {
    return Refused(std::move(target), EINVAL, path, "not a regular file");
  }
  // A file without any write permission is its owner's mark of a file to
  // keep: "wb" would not write it, not even as root.
  if ((info.st_mode & 0222) == 0) return Refused(std::move(target), EACCES, path);
  if (!MayWrite(target.file, W_OK)) return Refused(std::move(target), errno, path);
  const bool ours = info.st_uid == ::geteuid();
  if (!ours || !MayWrite(FolderOf(target.file), W_OK | X_OK)) target.way = WriteWay::InPlace;
  return target;
}

#endif
