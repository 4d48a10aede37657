// Help for the main dialog: the About box (its window menu's item) and the
// user guide (F1).
//
// The user guide is the installed README.txt beside zema-loader.exe on
// Windows (the setup program and the ZIP put it there), and on Linux the
// installed user-guide.md of the package's documents; a program run from
// its build folder shows its source tree's guide.
#pragma once

#include <string>

#include "frontend/dialog_window.h"

namespace zema {

// The user guide of the program at `executablePath`: the first that exists
// of the places above, else the installed one.
std::string UserGuidePath(const std::string& executablePath);

// The About box: version, licence, where the user guide and the transfer
// log are.
void ShowProgramAbout(DialogWindow& window);

// The user guide for reading; an error box names it when it cannot be
// shown.
void ShowUserGuide(DialogWindow& window);

}  // namespace zema
