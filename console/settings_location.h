// Where the settings file lives.
//
// Beside the executable, named after it: the executable's path with its
// extension replaced by "ini" ("zema-loader.exe" gives "zema-loader.ini"),
// or ".ini" appended when it has none ("zema-loader" gives
// "zema-loader.ini"); a "." in a folder name never counts.
//
// An installed program's folder is not writable by its user. When there is
// no file beside the executable and its folder cannot be written, the file
// is <config home>/zema-loader/zema-loader.ini instead, read and written
// there. A portable copy (a writable folder, or a file already beside it)
// keeps its file beside it.
//
// The folder an installation put the program into counts as not writable
// even for root or an administrator, who can write it: a settings file there
// would be a file the package manager or the uninstaller does not know, left
// behind when the program goes. That is a package's /usr/bin on Linux, and
// on Windows a folder holding the uninstaller of the setup program.
#pragma once

#include <functional>
#include <string>

namespace zema {

// The running program's own full path; empty when the system cannot say.
std::string ExecutablePath();

// $XDG_CONFIG_HOME when it is an absolute path, else ~/.config; on Windows
// %APPDATA% when it is an absolute path. Empty when none is known.
std::string UserConfigHome();

// The settings file beside `executablePath`.
std::string SettingsPathBeside(const std::string& executablePath);

// True when a file can be created in `folder` (tried, not guessed from the
// permission bits, which do not bind every user).
bool FolderIsWritable(const std::string& folder);

// The settings file the program reads and writes, by the rule above. An
// empty `configHome` leaves the file beside the executable in every case.
std::string SettingsPathFor(const std::string& executablePath, const std::string& configHome,
                            const std::function<bool(const std::string&)>& folderIsWritable =
                                FolderIsWritable);

// True for a program in the folder an installation put it into (above).
bool IsInstalledProgram(const std::string& executablePath);

// SettingsPathFor a program at `executablePath`, the user's config home and
// the folder's writability, an installation's folder counting as not
// writable.
std::string SettingsPathForProgram(const std::string& executablePath);

// SettingsPathForProgram for the running program.
std::string DefaultSettingsPath();

}  // namespace zema
