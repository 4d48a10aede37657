#include "link/failure.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#include <system_error>

#include "res/wide_text.h"
#endif

#include "res/messages.h"

Failure MessageFailure(int message, const std::string& appended, const std::string& detail) {
  return {message, LoadMessage(message) + appended, detail};
}

#ifdef _WIN32

namespace {

// FormatMessageW's words for `code` in `language` (0: the system's own
// choice), without the line end it adds; empty when it has none there.
std::string MessageText(DWORD code, LANGID language) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring words(text != nullptr ? text : L"", length);
  if (text != nullptr) LocalFree(text);
  while (!words.empty() &&
         (words.back() == L'\n' || words.back() == L'\r' || words.back() == L' ')) {
    words.pop_back();
  }
  return Utf8FromWide(words);
}

// The Windows errors that the C runtime turns into each errno value, the
// usual one first.
struct SameMeaning {
  int error;
  DWORD windows[3];
};
// "An operation is not supported on a directory." has no name in every
// SDK's headers.
constexpr DWORD kDirectoryNotSupported = 336;
constexpr SameMeaning kSameMeaning[] = {
    {ENOENT, {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}},
    {EACCES, {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION}},
    {EPERM, {ERROR_ACCESS_DENIED}},
    {ENOSPC, {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL}},
    {EEXIST, {ERROR_FILE_EXISTS, ERROR_ALREADY_EXISTS}},
    {EROFS, {ERROR_WRITE_PROTECT}},
    {EISDIR, {kDirectoryNotSupported}},
    {ENOTDIR, {ERROR_DIRECTORY}},
    {EINVAL, {ERROR_INVALID_NAME, ERROR_NOT_SUPPORTED, ERROR_INVALID_PARAMETER}},
    {ENAMETOOLONG, {ERROR_FILENAME_EXCED_RANGE}},
    {EMFILE, {ERROR_TOO_MANY_OPEN_FILES}},
    {EIO, {ERROR_GEN_FAILURE, ERROR_WRITE_FAULT, ERROR_READ_FAULT}},
};

// A missing file whose folder is missing too is a missing path to Windows.
DWORD MissingKind(const std::string& subject) {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::path(WideFromUtf8(subject)).parent_path();
  const bool folderThere = folder.empty() || std::filesystem::is_directory(folder, error);
  return folderThere ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// The Windows error behind `error`: the thread's last error where it has
// that meaning (the failed call set both), else the usual one; 0 for an
// errno that no Windows error stands for.
DWORD WindowsErrorFor(int error, DWORD lastError, const std::string& subject) {
  for (const SameMeaning& same : kSameMeaning) {
    if (same.error != error) continue;
    for (DWORD windows : same.windows) {
      if (windows != 0 && windows == lastError) return windows;
    }
    return error == ENOENT ? MissingKind(subject) : same.windows[0];
  }
  return 0;
}

}  // namespace

std::string WindowsErrorText(unsigned long code) {
  // The user's interface language, then English, then whatever the system
  // has: a system without the user's language pack still says something.
  const LANGID languages[] = {GetUserDefaultUILanguage(),
                              MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 0};
  for (LANGID language : languages) {
    std::string words = MessageText(code, language);
    if (!words.empty()) return words;
  }
  return "error " + std::to_string(code);
}

std::string SystemCauseDetail(const std::string& subject, int error) {
  const DWORD lastError = GetLastError();
  if (error == 0) return subject;
  const DWORD windows = WindowsErrorFor(error, lastError, subject);
  return subject + ": " + (windows != 0 ? WindowsErrorText(windows) : std::strerror(error));
}

#else

std::string SystemCauseDetail(const std::string& subject, int error) {
  return error != 0 ? subject + ": " + std::strerror(error) : subject;
}

#endif
