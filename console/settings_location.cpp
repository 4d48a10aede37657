#include "console/settings_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include "res/wide_text.h"
#else
#include <unistd.h>
#endif

#include "formats/staged_file.h"
#include "formats/utf8_path.h"

namespace fs = std::filesystem;

namespace {

constexpr char kConfigFolderName[] = "zema-loader";
constexpr char kConfigFileName[] = "zema-loader.ini";

// The folder an installation put the program into: a package's /usr/bin,
// or on Windows a folder the setup program left its uninstaller in.
bool IsInstallFolder(const std::string& folder) {
  std::error_code error;
#if defined(ZEMA_INSTALL_BINDIR)
  // equivalent() sees through links such as /bin -> /usr/bin.
  return fs::equivalent(folder, ZEMA_INSTALL_BINDIR, error);
#elif defined(ZEMA_UNINSTALLER_NAME)
  // Wine, and an administrator on Windows, can write into Program Files:
  // the uninstaller, not the folder's permissions, tells that the program
  // was installed there.
  return fs::is_regular_file(PathFromUtf8(folder) / ZEMA_UNINSTALLER_NAME, error);
#else
  (void)folder;
  (void)error;
  return false;
#endif
}

}  // namespace

std::string ExecutablePath() {
#ifdef _WIN32
  // Wide, as every path of the program is UTF-8: a folder named in another
  // language than the system's code page still holds the settings file.
  std::vector<wchar_t> buffer(MAX_PATH);
  const DWORD length =
      ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return {};
  return Utf8FromWide(std::wstring(buffer.data(), length));
#else
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (length <= 0) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
#endif
}

std::string UserConfigHome() {
#ifdef _WIN32
  // The roaming profile's folder, where Windows programs keep their
  // settings. HOME, which some shells set on Windows, is no such folder.
  // Read wide, as every path of the program is UTF-8.
  const wchar_t* appData = ::_wgetenv(L"APPDATA");
  if (appData == nullptr || !fs::path(appData).is_absolute()) return {};
  return Utf8FromWide(appData);
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config";
  return {};
#endif
}

std::string SettingsPathBeside(const std::string& executablePath) {
  // path::replace_extension looks at the file name only and treats a name
  // that starts with its only "." as having no extension.
  return Utf8FromPath(PathFromUtf8(executablePath).replace_extension("ini"));
}

bool FolderIsWritable(const std::string& folder) {
  // The probe file goes through the same creation as a saved settings
  // file, so the answer is the one a save would meet.
  StagedFile probe;
  const bool created = probe.Create(Utf8FromPath(PathFromUtf8(folder) / ".zema-loader-probe"));
  probe.Discard();
  return created;
}

std::string SettingsPathFor(const std::string& executablePath, const std::string& configHome,
                            const std::function<bool(const std::string&)>& folderIsWritable) {
  const std::string beside = SettingsPathBeside(executablePath);
  if (configHome.empty()) return beside;
  std::error_code error;
  if (fs::exists(PathFromUtf8(beside), error)) return beside;
  if (folderIsWritable(Utf8FromPath(PathFromUtf8(beside).parent_path()))) return beside;
  return Utf8FromPath(PathFromUtf8(configHome) / kConfigFolderName / kConfigFileName);
}

bool IsInstalledProgram(const std::string& executablePath) {
  return IsInstallFolder(Utf8FromPath(PathFromUtf8(executablePath).parent_path()));
}

std::string SettingsPathForProgram(const std::string& executablePath) {
  return SettingsPathFor(executablePath, UserConfigHome(), [](const std::string& folder) {
    return !IsInstallFolder(folder) && FolderIsWritable(folder);
  });
}

std::string DefaultSettingsPath() { return SettingsPathForProgram(ExecutablePath()); }
