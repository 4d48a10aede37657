#include "link/custom_baud_linux.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace zema {

#if defined(__linux__)
bool SetCustomBaudRate(int fd, unsigned baud) {
  struct termios2 settings {};
  if (::ioctl(fd, TCGETS2, &settings) != 0) return false;
  settings.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baud;
  settings.c_ospeed = baud;
  return ::ioctl(fd, TCSETS2, &settings) == 0;
}

unsigned OutputBaudRate(int fd) {
  // The kernel fills in the speed in bits per second for every setting,
  // the standard constants included.
  struct termios2 settings {};
  if (::ioctl(fd, TCGETS2, &settings) != 0) return 0;
  return settings.c_ospeed;
}
#else
bool SetCustomBaudRate(int, unsigned) { return false; }
unsigned OutputBaudRate(int) { return 0; }
#endif

}  // namespace zema
