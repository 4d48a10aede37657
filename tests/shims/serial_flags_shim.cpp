// LD_PRELOAD shim: a pseudo-terminal answers TIOCGSERIAL and TIOCSSERIAL as
// a USB-serial driver (ftdi_sio, 8250) does, so the low-latency path of the
// serial driver runs on a virtual sensor's line. The flags live in the file
// that ZEMA_SERIAL_FLAGS_LOG names, shared by every process of a test: each
// TIOCSSERIAL appends the flags it was given as a line, and TIOCGSERIAL
// answers with the last line (0 before any). Other requests, and every
// request without the variable, go to the system as they came.
//
// <sys/ioctl.h> is left out: its declaration carries an exception
// specification that this definition need not repeat.
#include <asm/ioctls.h>
#include <dlfcn.h>
#include <linux/serial.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// Major numbers of the terminal side of a pseudo-terminal (Unix 98).
bool IsPseudoTerminal(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned major = ::major(info.st_rdev);
  return major >= 136 && major <= 143;
}

int LastFlags(const char* log) {
  int flags = 0;
  if (std::FILE* in = std::fopen(log, "r")) {
    int value = 0;
    while (std::fscanf(in, "%d", &value) == 1) flags = value;
    std::fclose(in);
  }
  return flags;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  std::va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  using Ioctl = int (*)(int, unsigned long, ...);
  static const auto system = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));

  const char* log = std::getenv("ZEMA_SERIAL_FLAGS_LOG");
  if (log == nullptr || (request != TIOCGSERIAL && request != TIOCSSERIAL) ||
      !IsPseudoTerminal(fd)) {
    return system(fd, request, argument);
  }
  auto* serial = static_cast<serial_struct*>(argument);
  if (request == TIOCGSERIAL) {
    *serial = serial_struct{};
    serial->type = PORT_16550A;
    serial->flags = LastFlags(log);
    return 0;
  }
  std::FILE* out = std::fopen(log, "a");
  if (out == nullptr) {
    errno = EIO;
    return -1;
  }
  std::fprintf(out, "%d\n", serial->flags);
  std::fclose(out);
  return 0;
}
