// What the program needs to know of the terminal its messages go to.
#pragma once

#include <cstdio>

namespace zema {

// Makes the console show UTF-8 and take cursor movements where the system
// needs to be told (Windows); false when standard error is a console that
// cannot redraw lines in place.
bool PrepareTerminal();

// True when `stream` is a terminal (or console), not a file or a pipe.
bool IsTerminal(std::FILE* stream);

// Columns of the terminal `stream` shows on; 80 when unknown.
int TerminalColumns(std::FILE* stream);

}  // namespace zema
