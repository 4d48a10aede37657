// Line speeds that termios has no constant for (14400, 56000, 128000 and
// 256000 baud) are set through the termios2 interface. It lives in a file of
// its own because <asm/termbits.h> cannot share a translation unit with
// <termios.h>.
#pragma once

// Sets input and output speed of the open terminal fd to `baud` bits per
// second. Returns false when the system refuses or has no such interface.
bool SetCustomBaudRate(int fd, unsigned baud);
