// Line speeds in bits per second through the termios2 interface: the speeds
// that termios has no constant for (14400, 56000, 128000 and 256000 baud)
// are set here, and the speed a tty is running at is read here whatever it
// is. It lives in a file of its own because <asm/termbits.h> cannot share a
// translation unit with <termios.h>.
#pragma once

namespace zema {

// Sets input and output speed of the open terminal fd to `baud` bits per
// second. Returns false when the system refuses or has no such interface.
bool SetCustomBaudRate(int fd, unsigned baud);

// The output speed of the open terminal fd in bits per second; 0 when the
// system cannot tell.
unsigned OutputBaudRate(int fd);

}  // namespace zema
