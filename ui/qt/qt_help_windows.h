// The About box and the window that shows the user guide, on Qt.
//
// A dialog on Linux has no system menu under most window managers, so a
// dialog that offers an About item has it in its context menu (a right
// click on the dialog, where no control takes the click itself); F1 asks
// for help, as in every desktop program.
#pragma once

#include <string>

class QWidget;

namespace zema {

// A modal box over `owner` with the program icon, `text` as plain text and
// an OK button.
void ShowQtAboutBox(QWidget* owner, const std::string& title, const std::string& text);

// The text file at `path` (Markdown when its name ends in ".md", else plain
// text) in a window of its own beside `owner`, which stays usable; the
// window is made once and raised when it is asked for again. False when
// the file cannot be read.
bool ShowQtDocument(QWidget* owner, const std::string& title, const std::string& path);

}  // namespace zema
