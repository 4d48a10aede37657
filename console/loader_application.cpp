#include "console/loader_application.h"

#include <string>

#include "console/main_dialog.h"
#include "console/settings_location.h"
#include "res/messages.h"

namespace {

// The installed program on Windows starts in its own folder (the working
// folder of its Start-menu entry), which is no place for the user's files:
// an administrator's would stay behind after the uninstall, and a standard
// user may not create them there at all, which shows only once the sensor
// has been read. Its base names without a folder lie in the user's
// Documents folder instead. A portable copy, started where its user put
// it, and the Linux build, started in the user's own folder, keep the
// current folder.
std::string FolderForBareBaseNames([[maybe_unused]] const std::string& executablePath,
                                   [[maybe_unused]] DialogToolkit& toolkit) {
#ifdef _WIN32
  if (IsInstalledProgram(executablePath)) return toolkit.DocumentsFolder();
#endif
  return {};
}

}  // namespace

bool CLoaderApp::InitInstance(DialogToolkit& toolkit) {
  toolkit.Initialise(CurrentLanguage());
  const std::string executable = ExecutablePath();
  CLoaderDlg dialog(SettingsPathForProgram(executable),
                    FolderForBareBaseNames(executable, toolkit));
  toolkit.RunModal(dialog);
  return false;
}
