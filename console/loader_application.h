// CLoaderApp: the application object of zema-loader.
#pragma once

#include "frontend/dialog_window.h"

namespace zema {

class CLoaderApp {
 public:
  // Start-up: the toolkit is initialised for the user's language, then the
  // main dialog with the settings file of this executable runs modally.
  // Returns false: the program ends as soon as the main dialog has closed.
  bool InitInstance(DialogToolkit& toolkit);
};

}  // namespace zema
