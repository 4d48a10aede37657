// What makes a backup folder survive a crash or a power cut whole: its
// files and its folder entries on the disk before its name appears, and a
// rename that never replaces a folder already there.
#pragma once

#include <string>

namespace zema {

// Puts a written file's content on the disk (UTF-8 paths throughout).
bool SyncFile(const std::string& path);

// Puts a folder's entries (names created, renamed or removed in it) on
// the disk; true where the system keeps them on its own (Windows).
bool SyncFolder(const std::string& path);

// Renames a folder to `to` only when nothing has that name yet; false
// with errno EEXIST when something has.
bool RenameFolderNoReplace(const std::string& from, const std::string& to);

}  // namespace zema
