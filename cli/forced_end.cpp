#include "cli/forced_end.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/exit_status.h"
#include "formats/staged_file.h"
#include "link/serial_port.h"

namespace {

char g_text[256];
std::size_t g_length = 0;
volatile std::sig_atomic_t g_lineOpen = 0;

void WriteError(const char* bytes, std::size_t length) {
#ifdef _WIN32
  (void)::_write(2, bytes, static_cast<unsigned>(length));
#else
  // Nothing is left to do when stderr takes no more; a cast to void does not
  // quiet the fortified C library's unused-result warning, a named value does.
  [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, bytes, length);
#endif
}

[[noreturn]] void EndAtOnce() {
  if (g_length > 0) {
    if (g_lineOpen != 0) WriteError("\n", 1);
    WriteError(g_text, g_length);
  }
  // Exit handlers do not run: the ports' exclusive marks are taken back
  // here, or an ordinary user could not open the port again.
  ComReleaseExclusive();
  std::_Exit(kExitCancelled);
}

}  // namespace

void PrepareForcedEnd(const std::string& text) {
  g_length = 0;
  if (text.empty()) return;
  g_length = std::min(text.size(), sizeof g_text - 1);
  std::copy_n(text.data(), g_length, g_text);
  g_text[g_length++] = '\n';
}

void NoteOutputLineOpen(bool open) { g_lineOpen = open ? 1 : 0; }

void EndAtOnceUnlessWriting() { EndUnlessStagedFileOpen(EndAtOnce); }
