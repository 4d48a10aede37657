#include "console/loader_application.h"

#include "console/loader_dialog.h"
#include "console/settings_location.h"
#include "res/messages.h"

bool CLoaderApp::InitInstance(DialogToolkit& toolkit) {
  toolkit.Initialise(CurrentLanguage());
  CLoaderDlg dialog(DefaultSettingsPath());
  toolkit.RunModal(dialog);
  return false;
}
