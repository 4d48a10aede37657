#include "formats/staged_file.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "formats/utf8_path.h"
#include "formats/write_target.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <random>

#include "res/wide_text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zema {

namespace {

// "~" and six characters that make the name unique.
constexpr std::size_t kUniqueTailLength = 7;

// The temporary name is "." + the start of the target's name + "~" + six
// unique characters: as long as the target's name at most (eight characters
// for a shorter one). A longer name would fail near the file system's name
// limit (255 bytes) or Windows' path limit although the target fits; the
// start of the name tells a leftover's origin. The kept start never ends in
// the middle of a UTF-8 sequence.
std::string TemporaryPathTemplate(const std::string& targetPath) {
  const std::size_t nameStart = FileNameStart(targetPath);
  const std::string name = targetPath.substr(nameStart);
  std::size_t kept = name.size() > kUniqueTailLength + 1 ? name.size() - kUniqueTailLength - 1 : 0;
  while (kept > 0 && (static_cast<unsigned char>(name[kept]) & 0xC0) == 0x80) --kept;
  return targetPath.substr(0, nameStart) + "." + name.substr(0, kept) + "~XXXXXX";
}

#ifdef _WIN32

// Replaces the six X at the end of pathTemplate until a name is free; the
// file is created exclusively, so no other file is ever opened by mistake.
// It is hidden, as its name would hide it on POSIX, so that Explorer does
// not show it come and go during a READ.
std::FILE* CreateUniqueFile(std::string& pathTemplate) {
  static constexpr char kCharacters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  // One generator a thread: a whole-line backup creates files on several
  // threads at once, and a generator's state is no place to share.
  thread_local std::mt19937 generator(std::random_device{}() ^ ::GetCurrentProcessId() ^
                                      ::GetCurrentThreadId() ^ ::GetTickCount());
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kCharacters - 2);
  const std::size_t tail = pathTemplate.size() - 6;
  for (int attempt = 0; attempt < 100; ++attempt) {
    for (std::size_t i = tail; i < pathTemplate.size(); ++i) {
      pathTemplate[i] = kCharacters[pick(generator)];
    }
    const std::wstring path = WideFromUtf8(pathTemplate);
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (::GetLastError() == ERROR_FILE_EXISTS) continue;
      NoteLastWindowsError();
      return nullptr;
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    std::FILE* stream = fd >= 0 ? ::_fdopen(fd, "wb") : nullptr;
    if (stream == nullptr) {
      const int cause = errno;
      if (fd >= 0) {
        ::_close(fd);
      } else {
        ::CloseHandle(handle);
      }
      ::DeleteFileW(path.c_str());
      errno = cause;
    }
    return stream;
  }
  errno = EEXIST;
  return nullptr;
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
    const int cause = errno;
    ::close(fd);
    ::unlink(pathTemplate.c_str());
    errno = cause;
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
  if (handle != INVALID_HANDLE_VALUE && ::FlushFileBuffers(handle) != 0) return true;
  NoteLastWindowsError();
  return false;
#else
  return ::fsync(::fileno(stream)) == 0;
#endif
}

// Replaces the target and makes the new name itself durable: on POSIX the
// folder entry is synced after the rename (a file system that cannot sync a
// folder still has the file renamed); on Windows the move is written through.
bool ReplaceTarget(const std::string& tempPath, const std::string& targetPath) {
#ifdef _WIN32
  // A rename keeps the attributes: the file shows under its final name.
  const std::wstring temporary = WideFromUtf8(tempPath);
  const DWORD attributes = ::GetFileAttributesW(temporary.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN) != 0) {
    const DWORD shown = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN);
    (void)::SetFileAttributesW(temporary.c_str(), shown != 0 ? shown : FILE_ATTRIBUTE_NORMAL);
  }
  if (::MoveFileExW(temporary.c_str(), WideFromUtf8(targetPath).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  NoteLastWindowsError();
  return false;
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

#ifdef _WIN32
// The console's control handler runs on a thread of its own: the count and
// the forced end's look at it must not cross (see EndUnlessStagedFileOpen).
SRWLOCK g_countLock = SRWLOCK_INIT;
#endif

}  // namespace

bool StagedFileOpen() { return g_openStagedFiles.load() != 0; }

void EndUnlessStagedFileOpen(void (*end)()) {
#ifdef _WIN32
  // Held up to the end: a Create on the program's thread waits at its count
  // and so begins no file that the end would leave behind.
  ::AcquireSRWLockExclusive(&g_countLock);
  if (g_openStagedFiles.load() == 0) end();
  ::ReleaseSRWLockExclusive(&g_countLock);
#else
  // A signal handler interrupts the program's own thread between two
  // statements: the count alone tells.
  if (g_openStagedFiles.load() == 0) end();
#endif
}

StagedFile::~StagedFile() { Discard(); }

void StagedFile::Count(bool open) {
  if (open == counted_) return;
  counted_ = open;
#ifdef _WIN32
  ::AcquireSRWLockExclusive(&g_countLock);
  g_openStagedFiles += open ? 1 : -1;
  ::ReleaseSRWLockExclusive(&g_countLock);
#else
  g_openStagedFiles += open ? 1 : -1;
#endif
}

bool StagedFile::Create(const std::string& targetPath) {
  Discard();
  const WriteTarget target = InspectWriteTarget(targetPath);
  if (target.refusal != 0) {
    NoteRefusal(target);
    return false;
  }
  targetPath_ = target.file;
  // Counted before any file exists, so that a forced end never comes
  // between the file's creation and its count.
  Count(true);
  int cause = 0;
  if (target.way == WriteWay::Replace) {
    tempPath_ = TemporaryPathTemplate(targetPath_);
#ifdef _WIN32
    stream_ = CreateUniqueFile(tempPath_);
#else
    stream_ = CreateUniqueFile(tempPath_, targetPath_);
#endif
    if (stream_ != nullptr) return true;
    tempPath_.clear();
    // No new file here after all (only the attempt tells on Windows, or on
    // a file system that takes none), yet the target may be the user's to
    // write: it is rewritten in place, as "wb" would do.
    cause = errno;
  }
  if (inPlace_.Open(targetPath_)) return true;
  if (cause != 0) errno = cause;  // the folder's refusal, not the missing target's
  const int reason = errno;
  Count(false);
  errno = reason;
  return false;
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
  const int cause = errno;
  std::error_code error;
  std::filesystem::remove(PathFromUtf8(tempPath_), error);
  tempPath_.clear();
  errno = cause;
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

}  // namespace zema
