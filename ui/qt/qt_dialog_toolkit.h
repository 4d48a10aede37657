// The Qt toolkit as the application object sees it.
#pragma once

#include "frontend/dialog_window.h"

namespace zema {

class QtDialogToolkit : public DialogToolkit {
 public:
  // Qt's own catalogue for `language` (the standard buttons' texts) and the
  // program icon for every window of the application.
  void Initialise(Language language) override;
  // A top-level window without owner.
  int RunModal(DialogHandlers& dialog) override;
};

}  // namespace zema
