#include <io.h>
#include <windows.h>

#include <cstdlib>

#include "cli/terminal.h"

namespace zema {

namespace {

// The console's settings as they were before this program changed them;
// a code page of 0 means nothing to put back.
UINT g_consoleCodePage = 0;
HANDLE g_console = nullptr;
DWORD g_consoleMode = 0;

// The code page and mode belong to the console window, not to the program:
// the programs run after this one in the same window expect their own.
void RestoreConsole() {
  if (g_consoleCodePage != 0) SetConsoleOutputCP(g_consoleCodePage);
  if (g_console != nullptr) SetConsoleMode(g_console, g_consoleMode);
}

}  // namespace

bool PrepareTerminal() {
  // The texts are UTF-8 (the message table, and the same bytes the Linux
  // build prints). A console in code page 65001 shows every language from
  // them; converting to the console's own code page instead would turn the
  // Japanese texts into question marks on any console not set to 932. Text
  // going to a pipe or file is not touched by the code page: it stays
  // UTF-8, with the C runtime's CR LF line ends.
  const UINT codePage = GetConsoleOutputCP();  // 0 without a console
  if (codePage != 0 && codePage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    g_consoleCodePage = codePage;
  }
  HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  bool canRedraw = false;
  if (GetConsoleMode(console, &mode)) {
    canRedraw = SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    if (canRedraw) {
      g_console = console;
      g_consoleMode = mode;
    }
  }
  if (g_consoleCodePage != 0 || g_console != nullptr) std::atexit(RestoreConsole);
  return canRedraw;
}

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

int TerminalColumns(std::FILE* /*stream*/) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
  const int columns = info.srWindow.Right - info.srWindow.Left + 1;
  return columns > 0 ? columns : 80;
}

}  // namespace zema
