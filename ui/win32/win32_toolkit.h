// The Win32 dialog calls as the application object sees them: the common
// controls initialised, top-level modal dialogs.
#pragma once

#include <string>

#include "frontend/dialog_window.h"

namespace zema {

class Win32Toolkit : public DialogToolkit {
 public:
  // Registers the progress bar's class. The standard buttons of the message
  // boxes are in the user interface's language already: the system's own.
  void Initialise(Language language) override;
  int RunModal(DialogHandlers& dialog) override;
  std::string DocumentsFolder() override;
};

}  // namespace zema
