#include <windows.h>

#include <cerrno>

#include "backup/durable_folder.h"
#include "res/wide_text.h"

namespace zema {

bool SyncFile(const std::string& path) {
  const HANDLE file =
      ::CreateFileW(WideFromUtf8(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool flushed = ::FlushFileBuffers(file) != 0;
  ::CloseHandle(file);
  return flushed;
}

bool SyncFolder(const std::string&) { return true; }

bool RenameFolderNoReplace(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING the move never replaces anything.
  if (::MoveFileExW(WideFromUtf8(from).c_str(), WideFromUtf8(to).c_str(), MOVEFILE_WRITE_THROUGH) !=
      0) {
    return true;
  }
  const DWORD error = ::GetLastError();
  errno = error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? EEXIST : EACCES;
  return false;
}

}  // namespace zema
