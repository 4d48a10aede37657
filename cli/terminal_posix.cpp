#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminal.h"

namespace zema {

bool PrepareTerminal() { return true; }

bool IsTerminal(std::FILE* stream) { return ::isatty(::fileno(stream)) != 0; }

int TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

}  // namespace zema
