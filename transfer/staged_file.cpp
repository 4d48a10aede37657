#include "transfer/staged_file.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "transfer/utf8_path.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <random>

#include "res/wide_text.h"
#else
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// "~" and six characters that make the name unique.
constexpr std::size_t kUniqueTailLength = 7;

// Where the file name starts: after the last folder separator.
std::size_t NameStart(const std::string& path) {
#ifdef _WIN32
  const std::size_t slash = path.find_last_of("/\\:");
#else
  const std::size_t slash = path.rfind('/');
#endif
  return slash == std::string::npos ? 0 : slash + 1;
}

// The temporary name is "." + the start of the target's name + "~" + six
// unique characters: as long as the target's name at most (eight characters
// for a shorter one). A longer name would fail near the file system's name
// limit (255 bytes) or Windows' path limit although the target fits; the
// start of the name tells a leftover's origin. The kept start never ends in
// the middle of a UTF-8 sequence.
std::string TemporaryPathTemplate(const std::string& targetPath) {
  const std::size_t nameStart = NameStart(targetPath);
  const std::string name = targetPath.substr(nameStart);
  std::size_t kept = name.size() > kUniqueTailLength + 1 ? name.size() - kUniqueTailLength - 1 : 0;
  while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  return targetPath.substr(0, nameStart) + "." + name.substr(0, kept) + "~XXXXXX";
}

#ifdef _WIN32

// Only a file may be replaced, and not one marked read-only: "wb" could
// not write it. A folder or a device of the target's name is refused here,
// before the run sends anything, not at the rename after the transfer.
bool MayReplace(const std::string& targetPath) {
  const DWORD attributes = ::GetFileAttributesW(WideFromUtf8(targetPath).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing there yet
  return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY |
                        FILE_ATTRIBUTE_DEVICE)) == 0;
}

// Replaces the six X at the end of pathTemplate until a name is free; the
// file is created exclusively, so no other file is ever opened by mistake.
std::FILE* CreateUniqueFile(std::string& pathTemplate) {
  static constexpr char kCharacters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937 generator(std::random_device{}() ^ ::GetCurrentProcessId() ^
                                ::GetTickCount());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kCharacters - 2);
  const std::size_t tail = pathTemplate.size() - 6;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = tail; i < pathTemplate.size(); ++i) {
      pathTemplate[i] = kCharacters[pick(generator)];
    }
    const int fd = ::_wopen(WideFromUtf8(pathTemplate).c_str(),
                            _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    std::FILE* stream = ::_fdopen(fd, "wb");
    if (stream == nullptr) {
      ::_close(fd);
      ::_wunlink(WideFromUtf8(pathTemplate).c_str());
    }
    return stream;
  }
  return nullptr;
}

#else

// The file that fopen(..., "wb") would write: a symbolic link (or a chain
// of them) is followed to the file it names, which may not exist yet, so
// that the link stays a link and its file gets the new content. Empty for a
// chain that does not end (the system's own limit is 40 links).
std::string FileWrittenThrough(const std::string& path) {
  std::string current = path;
  for (int link = 0; link <= 40; ++link) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> named(PATH_MAX);
    const ssize_t length = ::readlink(current.c_str(), named.data(), named.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= named.size()) return {};
    const std::string destination(named.data(), static_cast<std::size_t>(length));
    // A relative link names its file from the link's own folder.
    current = destination.front() == '/' ? destination
                                         : current.substr(0, NameStart(current)) + destination;
  }
  return {};
}

// Only a regular file may be replaced: a folder, a FIFO or a device of the
// target's name is refused here, before the run sends anything, not at the
// rename after the transfer. Nor a read-only file: "wb" could not write it,
// while a rename over it only asks for the folder's permission. Read-only is
// a file without any write permission (as root may write everything, that
// is the owner's mark of a file to keep) or one this user may not write.
bool MayReplace(const std::string& targetPath) {
  struct stat existing {};
  if (::stat(targetPath.c_str(), &existing) != 0) return true;  // nothing there yet
  return S_ISREG(existing.st_mode) && (existing.st_mode & 0222) != 0 &&
         ::access(targetPath.c_str(), W_OK) == 0;
}

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

// Puts the stream's bytes on the disk before the file may replace its
// target: renamed while its data still sat in a buffer, a crash could leave
// an empty file in place of a good one.
bool FlushToDisk(std::FILE* stream) {
  if (std::fflush(stream) != 0) return false;
#ifdef _WIN32
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  return handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0;
#else
  return ::fsync(::fileno(stream)) == 0;
#endif
}

// Replaces the target and makes the new name itself durable: on POSIX the
// folder entry is synced after the rename (a file system that cannot sync a
// folder still has the file renamed); on Windows the move is written through.
bool ReplaceTarget(const std::string& tempPath, const std::string& targetPath) {
#ifdef _WIN32
  return ::MoveFileExW(WideFromUtf8(tempPath).c_str(), WideFromUtf8(targetPath).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  if (::rename(tempPath.c_str(), targetPath.c_str()) != 0) return false;
  const std::filesystem::path parent = std::filesystem::path(targetPath).parent_path();
  const std::string folder = parent.empty() ? std::string(".") : parent.string();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    (void)::fsync(fd);
    ::close(fd);
  }
  return true;
#endif
}

std::atomic<int> g_openStagedFiles{0};

}  // namespace

bool StagedFileOpen() { return g_openStagedFiles.load() != 0; }

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Count(bool open) {
  if (open == counted_) return;
  counted_ = open;
  g_openStagedFiles += open ? 1 : -1;
}

bool StagedFile::Create(const std::string& targetPath) {
  Discard();
#ifdef _WIN32
  targetPath_ = targetPath;
#else
  targetPath_ = FileWrittenThrough(targetPath);
  if (targetPath_.empty()) return false;
#endif
  if (!MayReplace(targetPath_)) return false;
  tempPath_ = TemporaryPathTemplate(targetPath_);
#ifdef _WIN32
  stream_ = CreateUniqueFile(tempPath_);
#else
  stream_ = CreateUniqueFile(tempPath_, targetPath_);
#endif
  if (stream_ == nullptr) {
    tempPath_.clear();
    // No new file here (an installed program's folder), yet the target may
    // be the user's to write: it is rewritten in place, as "wb" would do.
    const int cause = errno;
    if (!inPlace_.Open(targetPath_)) {
      errno = cause;  // the folder's refusal, not the missing target's
      return false;
    }
  }
  Count(true);
  return true;
}

bool StagedFile::Write(std::span<const std::uint8_t> bytes) {
  if (inPlace_.isOpen()) {
    collected_.insert(collected_.end(), bytes.begin(), bytes.end());
    return true;
  }
  if (stream_ == nullptr) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size();
}

bool StagedFile::Write(std::string_view text) {
  return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool StagedFile::Commit() {
  const bool committed = Finish();
  Count(false);
  return committed;
}

bool StagedFile::Finish() {
  if (inPlace_.isOpen()) {
    const bool replaced = inPlace_.Replace(collected_);
    std::vector<std::uint8_t>().swap(collected_);
    return replaced;
  }
  if (stream_ == nullptr) return false;
  // A full disk may show at any of these: a buffered write, the flush, the
  // sync or the close.
  const bool written = std::ferror(stream_) == 0 && FlushToDisk(stream_);
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  if (written && closed && ReplaceTarget(tempPath_, targetPath_)) {
    tempPath_.clear();
    return true;
  }
  std::error_code error;
  std::filesystem::remove(PathFromUtf8(tempPath_), error);
  tempPath_.clear();
  return false;
}

void StagedFile::Discard() {
  inPlace_.Close();
  std::vector<std::uint8_t>().swap(collected_);
  if (stream_ != nullptr) {
    std::fclose(stream_);
    stream_ = nullptr;
    std::error_code error;
    std::filesystem::remove(PathFromUtf8(tempPath_), error);
    tempPath_.clear();
  }
  Count(false);
}
