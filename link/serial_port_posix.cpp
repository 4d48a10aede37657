// POSIX backend of the serial port driver (termios).
//
// The driver keeps the Windows semantics its callers were written for:
// exclusive ports, read time-outs made of an interval and a total time-out,
// writes bounded by a total time-out, and LineMode words applied field by
// field onto the port's current settings.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>

#include "link/custom_baud_linux.h"
#include "link/line_mode.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

struct PortEntry {
  int fd = -1;
  bool open = false;
  int readIntervalMs = 0;  // longest gap between two received bytes, 0 = none
  int readTotalMs = 0;     // longest time for a whole read, 0 = none
  int writeTotalMs = 0;    // longest time for a whole write, 0 = none
};

// Entry n belongs to port n; entry 0 is never used.
std::array<PortEntry, kLastPort + 1> g_ports;

PortEntry* UsablePort(int port) {
  if (port < kFirstPort || port > kLastPort) return nullptr;
  PortEntry& entry = g_ports[static_cast<std::size_t>(port)];
  return entry.open ? &entry : nullptr;
}

std::optional<speed_t> StandardSpeed(unsigned baud) {
  switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return std::nullopt;
  }
}

// A serial port carries bytes unchanged: no line editing, echo, signals or
// translation of line ends.
void MakeRaw(termios& settings) {
  settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                             ICRNL | IXON | IXOFF | IXANY | IGNPAR | INPCK);
  settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
}

void SetModemLine(int fd, int line, bool on) {
  // A pseudo-terminal has no modem lines (ENOTTY): that is no failure of the port.
  ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
}

// Applies the decoded fields to `settings`. The modem lines and a speed
// without a termios constant are applied afterwards by the caller.
// Returns false for field values the port cannot take.
bool ApplyFields(const LineModeFields& f, termios& settings, std::optional<unsigned>& customBaud) {
  if (f.baudCode != 0) {
    unsigned baud = BaudRateForCode(f.baudCode);
    if (auto speed = StandardSpeed(baud)) {
      cfsetispeed(&settings, *speed);
      cfsetospeed(&settings, *speed);
    } else {
      customBaud = baud;
    }
  }

  // termios knows one or two stop bits; one and a half (a 5-bit-character
  // setting of the UART) is taken as two, the nearest longer frame.
  if (f.stopBits == 1) settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  if (f.stopBits == 2 || f.stopBits == 3) settings.c_cflag |= CSTOPB;

  // Parity. Checking is switched on with any parity. Windows replaces a byte
  // received with a parity error by a blank; termios can only drop it
  // (IGNPAR), mark it (PARMRK) or pass it on as 0: we pass it on as 0, which
  // keeps the byte count of a reply intact like the replacement does.
  const tcflag_t parityBits = PARENB | PARODD | CMSPAR;
  switch (f.parity) {
    case 0: break;
    case 1:
      settings.c_cflag &= ~parityBits;
      settings.c_iflag &= ~static_cast<tcflag_t>(INPCK);
      break;
    case 2: case 3: case 4: case 5: {
      tcflag_t bits = PARENB;
      if (f.parity == 2 || f.parity == 4) bits |= PARODD;  // odd, mark
      if (f.parity == 4 || f.parity == 5) bits |= CMSPAR;  // mark, space
      settings.c_cflag = (settings.c_cflag & ~parityBits) | bits;
      settings.c_iflag |= INPCK;
      settings.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | PARMRK);
      break;
    }
    default:
      return false;
  }

  // Data bits: termios starts at 5; a 4-bit character cannot be set.
  switch (f.dataBits) {
    case 0: break;
    case 2: settings.c_cflag = (settings.c_cflag & ~CSIZE) | CS5; break;
    case 3: settings.c_cflag = (settings.c_cflag & ~CSIZE) | CS6; break;
    case 4: settings.c_cflag = (settings.c_cflag & ~CSIZE) | CS7; break;
    case 5: settings.c_cflag = (settings.c_cflag & ~CSIZE) | CS8; break;
    default: return false;
  }

  // RTS handshake and CTS output flow control are one flag in termios
  // (CRTSCTS): either request switches it on, the CTS "off" bit switches it
  // off. DSR output flow control has no termios counterpart and is left.
  if (f.ctsFlowOn || f.rts == 3) settings.c_cflag |= CRTSCTS;
  if (f.ctsFlowOff && f.rts != 3) settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);

  // XON/XOFF in both directions. The "continue sending after XOFF" option
  // the word switches off has no termios counterpart; IXANY, the closest
  // relaxation of XOFF, is switched off with it.
  if (f.xonXoff == 1) {
    settings.c_iflag |= IXON | IXOFF;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXANY);
  } else if (f.xonXoff == 2) {
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  }
  return true;
}

void ApplyModemLines(int fd, const LineModeFields& f) {
  // DTR handshake has no termios counterpart: the line is raised so that the
  // peer sees a ready terminal. RTS toggle (raised while sending) cannot be
  // timed from user space: the line is raised.
  if (f.dtr == 1) SetModemLine(fd, TIOCM_DTR, false);
  if (f.dtr == 2 || f.dtr == 3) SetModemLine(fd, TIOCM_DTR, true);
  if (f.rts == 1) SetModemLine(fd, TIOCM_RTS, false);
  if (f.rts == 2 || f.rts == 4) SetModemLine(fd, TIOCM_RTS, true);
}

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

bool ComIsUnusable(int port) { return UsablePort(port) == nullptr; }

int ComOpen(int port, int /*inQueueSize*/, int /*outQueueSize*/) {
  // The queue sizes size the Windows driver's buffers; a tty's buffers are
  // fixed by the kernel and larger than the 512 bytes the program asks for.
  if (port < kFirstPort || port > kLastPort) return kOpenBadNumber;
  PortEntry& entry = g_ports[static_cast<std::size_t>(port)];
  if (entry.open) return kOpenAlreadyOpen;

  const std::string device = DeviceForPort(port);
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kOpenDeviceFailed;
  termios settings {};
  // flock keeps out every other process, root included; TIOCEXCL keeps out
  // programs that open the tty without locking it (except root's).
  if (!::isatty(fd) || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::tcgetattr(fd, &settings) != 0) {
    ::close(fd);
    return kOpenDeviceFailed;
  }
  ::ioctl(fd, TIOCEXCL);
  MakeRaw(settings);
  ::tcsetattr(fd, TCSANOW, &settings);

  entry = PortEntry{};
  entry.fd = fd;
  entry.open = true;
  ApplyOpenDefaults(port);
  return kOpenOk;
}

int ComClose(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  // The exclusive mark belongs to the tty, not to this descriptor: it would
  // outlive the close while another holder (a virtual sensor) keeps the tty
  // open, and then keep the next ComOpen out.
  ::ioctl(entry->fd, TIOCNXCL);
  int result = ::close(entry->fd);
  // Unlike a Windows handle, the descriptor is gone even when close()
  // reports an error; keeping it marked open would let a later open reuse
  // its number under this port.
  *entry = PortEntry{};
  return result == 0 ? kComOk : kComSystemRefused;
}

int ComSetMode(int port, std::uint32_t lineMode) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  termios settings {};
  if (::tcgetattr(entry->fd, &settings) != 0) return kComSystemRefused;
  const LineModeFields fields = DecodeLineMode(lineMode);
  std::optional<unsigned> customBaud;
  if (!ApplyFields(fields, settings, customBaud)) return kComSystemRefused;
  if (::tcsetattr(entry->fd, TCSANOW, &settings) != 0) return kComSystemRefused;
  if (customBaud && !SetCustomBaudRate(entry->fd, *customBaud)) return kComSystemRefused;
  ApplyModemLines(entry->fd, fields);
  return kComOk;
}

int ComSetReadTimeout(int port, int milliseconds) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  if (milliseconds < 0) return kComSystemRefused;
  entry->readIntervalMs = milliseconds;
  entry->readTotalMs = milliseconds;
  return kComOk;
}

int ComSetWriteTimeout(int port, int milliseconds) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  if (milliseconds < 0) return kComSystemRefused;
  entry->writeTotalMs = milliseconds;
  return kComOk;
}

int ComRxCount(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return 0;
  int waiting = 0;
  if (::ioctl(entry->fd, FIONREAD, &waiting) != 0) return 0;
  return waiting;
}

int ComRead(int port, void* buffer, int count) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr || count <= 0) return 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  const auto start = Clock::now();
  std::optional<Clock::time_point> totalDeadline;
  if (entry->readTotalMs > 0) totalDeadline = start + std::chrono::milliseconds(entry->readTotalMs);
  std::optional<Clock::time_point> intervalDeadline;

  int received = 0;
  while (received < count) {
    // The interval time-out runs from the last byte received, the total
    // time-out from the start of the read; the earlier one ends the read.
    std::optional<Clock::time_point> deadline = totalDeadline;
    if (intervalDeadline && (!deadline || *intervalDeadline < *deadline)) deadline = intervalDeadline;
    int waitMs = deadline ? RemainingMs(*deadline) : -1;

    pollfd descriptor{entry->fd, POLLIN, 0};
    int ready = ::poll(&descriptor, 1, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (ready == 0) break;  // time-out
    if ((descriptor.revents & POLLIN) == 0) break;  // hung up or error: the line is gone
    ssize_t got = ::read(entry->fd, bytes + received, static_cast<std::size_t>(count - received));
    if (got > 0) {
      received += static_cast<int>(got);
      if (entry->readIntervalMs > 0) {
        intervalDeadline = Clock::now() + std::chrono::milliseconds(entry->readIntervalMs);
      }
      continue;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    break;  // 0 after a readable poll, or EIO: the line is gone
  }
  return received;
}

int ComWrite(int port, const void* buffer, int count) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr || count <= 0) return 0;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::optional<Clock::time_point> deadline;
  if (entry->writeTotalMs > 0) {
    deadline = Clock::now() + std::chrono::milliseconds(entry->writeTotalMs);
  }
  int written = 0;
  while (written < count) {
    ssize_t put = ::write(entry->fd, bytes + written, static_cast<std::size_t>(count - written));
    if (put > 0) {
      written += static_cast<int>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN) break;  // EIO: the line is gone
    pollfd descriptor{entry->fd, POLLOUT, 0};
    int ready = ::poll(&descriptor, 1, deadline ? RemainingMs(*deadline) : -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0 || (descriptor.revents & POLLOUT) == 0) break;
  }
  return written;
}

int ComPurgeRx(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  return ::tcflush(entry->fd, TCIFLUSH) == 0 ? kComOk : kComSystemRefused;
}
