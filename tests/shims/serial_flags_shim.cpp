// LD_PRELOAD shim: a pseudo-terminal takes TIOCGSERIAL and TIOCSSERIAL as a
// USB-serial driver does, keeping the flags it was given and printing them on
// standard error as "serial flags N" (no <sys/ioctl.h>).
#include <asm/ioctls.h>
#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdarg>
#include <cstdio>

extern "C" int ioctl(int fd, unsigned long request, ...) {
  static serial_struct driver{};
  std::va_list arguments;
  va_start(arguments, request);
  auto* serial = va_arg(arguments, serial_struct*);
  va_end(arguments);
  struct stat info {};
  if ((request != TIOCGSERIAL && request != TIOCSSERIAL) || ::fstat(fd, &info) != 0 ||
      ::major(info.st_rdev) < 136 || ::major(info.st_rdev) > 143) {  // not a pseudo-terminal
    return reinterpret_cast<int (*)(int, unsigned long, ...)>(::dlsym(RTLD_NEXT, "ioctl"))(
        fd, request, serial);
  }
  if (request == TIOCSSERIAL) dprintf(2, "serial flags %d\n", serial->flags);
  *(request == TIOCGSERIAL ? serial : &driver) = *(request == TIOCGSERIAL ? &driver : serial);
  return 0;
}
