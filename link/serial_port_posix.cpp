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

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "link/custom_baud_linux.h"
#include "link/port_device_path.h"
#include "link/port_trace.h"
#include "link/serial_port.h"
#include "link/serial_port_backend.h"

namespace serial_backend {

namespace {

using Clock = std::chrono::steady_clock;

// Pause before writing again after a write() that took nothing.
constexpr int kRetryPauseMs = 10;

// What a tty whose far end has gone says: no error, only the hang-up.
constexpr char kHungUp[] = "hung up";

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

void ApplyModemLines(int fd, const LineState& state) {
  // DTR handshake has no termios counterpart: the line is raised so that the
  // peer sees a ready terminal. RTS toggle (raised while sending) cannot be
  // timed from user space: the line is raised.
  if (state.dtr == 1) SetModemLine(fd, TIOCM_DTR, false);
  if (state.dtr == 2 || state.dtr == 3) SetModemLine(fd, TIOCM_DTR, true);
  if (state.rts == 1) SetModemLine(fd, TIOCM_RTS, false);
  if (state.rts == 2 || state.rts == 4) SetModemLine(fd, TIOCM_RTS, true);
}

// Milliseconds until the deadline, rounded up: a wait of that length never
// ends before the deadline (poll() itself never returns early).
int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits `ms` milliseconds, or less when a signal arrives; callers loop
// against their deadline.
void Pause(int ms) { ::poll(nullptr, 0, ms); }

// Milliseconds that `bytes` need on a line of `baud` bits per second (ten
// bits to a character: start, eight data bits, stop), at least 1 and at
// most a second, so that a wrong guess costs one more look, not a long wait.
int LineTimeMs(int bytes, unsigned baud) {
  if (baud == 0) return 10;  // speed unknown: look again soon
  const long long ms = (static_cast<long long>(bytes) * 10 * 1000 + baud - 1) / baud;
  return ms < 1 ? 1 : static_cast<int>(std::min<long long>(ms, 1000));
}

// Waits until the bytes written to the tty have left it, but not past the
// deadline; what is still queued then is discarded, as a Windows driver
// drops the unsent rest of a write whose time-out has passed, so that it
// cannot reach the far end later, in the middle of the next exchange.
// Returns the number of bytes discarded.
//
// tcdrain() cannot be used: it has no time-out and blocks for as long as
// flow control (CTS, XOFF) or a stuck driver holds the queue, and in a
// single-threaded program only a signal could end it. Instead the queue is
// measured (TIOCOUTQ) and the wait is paced by the time the queued bytes
// need at the line's speed, so the loop wakes a few times per write, not
// continuously. On a pseudo-terminal the queue is always empty. The few
// bytes in a UART's own transmit FIFO are not counted by the kernel; they
// leave within a few character times.
int DrainOutput(int fd, std::optional<Clock::time_point> deadline) {
  for (;;) {
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= 0) return 0;
    int waitMs = LineTimeMs(queued, OutputBaudRate(fd));
    if (deadline) {
      const int leftMs = RemainingMs(*deadline);
      if (leftMs == 0) {
        ::tcflush(fd, TCOFLUSH);
        return queued;
      }
      waitMs = std::min(waitMs, leftMs);
    }
    Pause(waitMs);
  }
}

// The exclusive mark (TIOCEXCL) belongs to the tty, not to a descriptor:
// it outlives our close while another holder (a virtual sensor keeps its
// end of a pseudo-terminal open) still has the tty, and then refuses every
// later open by an ordinary user (root is never refused, which hides it).
// So it is taken back on every way this program lets go of a port: by
// ComClose, and at the program's end for a port still open (the command
// line without RUN, EXIT while connected). The descriptors marked are kept
// here, as fd + 1 so that 0 means a free entry.
std::array<int, kLastPort> g_exclusiveFds{};

void ReleaseExclusive(int fd) {
  ::ioctl(fd, TIOCNXCL);
  for (int& entry : g_exclusiveFds) {
    if (entry == fd + 1) entry = 0;
  }
}

extern "C" void ReleaseExclusiveAtExit() { ReleaseAllExclusive(); }

void HoldExclusive(int fd) {
  static const bool releaseAtExit = std::atexit(ReleaseExclusiveAtExit) == 0;
  (void)releaseAtExit;
  ::ioctl(fd, TIOCEXCL);
  for (int& entry : g_exclusiveFds) {
    if (entry == 0) {
      entry = fd + 1;
      return;
    }
  }
}

// The port's own low-latency setting, as it was before the open.
void PutBackLowLatency(const NativePort& native) {
  if (native.lowLatency.outcome != LowLatencyChange::Outcome::Set) return;
  const bool restored = RestoreLowLatency(native.fd, native.lowLatency);
  if (PortTraceWanted()) {
    TracePort(native.device + (restored ? ": low-latency flag cleared again, as it was"
                                        : ": the driver refused to clear the low-latency flag"));
  }
}

}  // namespace

std::string DefaultDevice(int port) { return DeviceForPort(port); }

// The device's path, with the device a symbolic link names (a dosdevices
// link, a virtual sensor's link).
std::string DeviceForDetail(const std::string& device) {
  std::error_code error;
  const std::filesystem::path path(device);
  if (!std::filesystem::is_symlink(path, error)) return device;
  const std::filesystem::path named = std::filesystem::read_symlink(path, error);
  return error ? device : device + " -> " + named.string();
}

bool OpenDevice(const std::string& device, int /*inQueueSize*/, int /*outQueueSize*/,
                NativePort& native, int& systemError) {
  // The queue sizes size the Windows driver's buffers; a tty's buffers are
  // fixed by the kernel and larger than the 512 bytes the program asks for.
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    systemError = errno;
    return false;
  }
  termios settings{};
  // flock keeps out every other process, root included; TIOCEXCL keeps out
  // programs that open the tty without locking it (except root's).
  const auto refuse = [&](int error) {
    systemError = error;
    ::close(fd);
    return false;
  };
  if (!::isatty(fd)) return refuse(ENOTTY);
  // A lock held elsewhere is reported as the device being busy.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return refuse(errno == EWOULDBLOCK ? EBUSY : errno);
  if (::tcgetattr(fd, &settings) != 0) return refuse(errno);
  HoldExclusive(fd);
  MakeRaw(settings);
  ::tcsetattr(fd, TCSANOW, &settings);
  native = NativePort{};
  native.fd = fd;
  native.device = device;
  native.lowLatency = EnableLowLatency(fd);
  if (PortTraceWanted()) TracePort(DescribeLowLatency(device, native.lowLatency));
  return true;
}

std::string DescribeOpenFailure(int port, const std::string& device, bool bound,
                                int systemError) {
  const std::string com = "COM" + std::to_string(port);
  switch (systemError) {
    case ENOENT: {
      if (bound) return device + ": no such device";
      std::error_code error;
      const std::filesystem::path link(device);
      if (std::filesystem::is_symlink(link, error)) {
        return device + " -> " + std::filesystem::read_symlink(link, error).string() +
               ": the device it names does not exist";
      }
      return "no device is linked as " + com + " (no dosdevices/com" + std::to_string(port) +
             " link, and " + device + " does not exist)";
    }
    case EACCES:
    case EPERM:
      return device + ": " + std::strerror(systemError) +
             " (the user must be in the 'dialout' group: sudo adduser $USER dialout, then "
             "log in again)";
    case EBUSY:
      return device + ": in use by another program";
    case ENOTTY:
      return device + ": not a serial port (not a terminal device)";
    default:
      return device + ": " + std::strerror(systemError);
  }
}

void ReleaseAllExclusive() {
  for (int entry : g_exclusiveFds) {
    if (entry != 0) ::ioctl(entry - 1, TIOCNXCL);
  }
}

CloseOutcome CloseDevice(NativePort& native) {
  PutBackLowLatency(native);
  ReleaseExclusive(native.fd);
  // Unlike a Windows handle, the descriptor is gone even when close()
  // reports an error.
  return ::close(native.fd) == 0 ? CloseOutcome::Closed : CloseOutcome::RefusedHandleGone;
}

bool ReadLineState(const NativePort& native, LineState& state) {
  if (::tcgetattr(native.fd, &state.original) != 0) return false;
  state.settings = state.original;
  return true;
}

bool SetSpeed(LineState& state, unsigned baud) {
  if (auto speed = StandardSpeed(baud)) {
    cfsetispeed(&state.settings, *speed);
    cfsetospeed(&state.settings, *speed);
    state.customBaud = 0;
  } else {
    state.customBaud = baud;
  }
  return true;
}

bool SetParity(LineState& state, int parityCode) {
  // Checking is switched on with any parity. Windows replaces a byte
  // received with a parity error by a blank; termios can only drop it
  // (IGNPAR), mark it (PARMRK) or pass it on as 0: we pass it on as 0, which
  // keeps the byte count of a reply intact like the replacement does.
  termios& s = state.settings;
  const tcflag_t parityBits = PARENB | PARODD | CMSPAR;
  if (parityCode == 1) {
    s.c_cflag &= ~parityBits;
    s.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    return true;
  }
  tcflag_t bits = PARENB;
  if (parityCode == 2 || parityCode == 4) bits |= PARODD;  // odd, mark
  if (parityCode == 4 || parityCode == 5) bits |= CMSPAR;  // mark, space
  s.c_cflag = (s.c_cflag & ~parityBits) | bits;
  s.c_iflag |= INPCK;
  s.c_iflag &= ~static_cast<tcflag_t>(IGNPAR | PARMRK);
  return true;
}

bool SetStopBits(LineState& state, int stopBitsCode) {
  // termios knows one or two stop bits; one and a half (a 5-bit-character
  // setting of the UART) is taken as two, the nearest longer frame.
  if (stopBitsCode == 1) {
    state.settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  } else {
    state.settings.c_cflag |= CSTOPB;
  }
  return true;
}

bool SetDataBits(LineState& state, int dataBits) {
  // termios starts at 5; a 4-bit character cannot be set.
  tcflag_t size = 0;
  switch (dataBits) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
  }
  state.settings.c_cflag = (state.settings.c_cflag & ~CSIZE) | size;
  return true;
}

bool SetFlowControl(LineState& state, const LineModeFields& f) {
  termios& s = state.settings;
  // The modem lines are set after the termios record (ApplyModemLines).
  state.dtr = f.dtr;
  state.rts = f.rts;

  // RTS handshake and CTS output flow control are one flag in termios
  // (CRTSCTS): either request switches it on, the CTS "off" bit switches it
  // off. DSR output flow control has no termios counterpart and is left.
  if (f.ctsFlowOn || f.rts == 3) s.c_cflag |= CRTSCTS;
  if (f.ctsFlowOff && f.rts != 3) s.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);

  // XON/XOFF in both directions. The "continue sending after XOFF" option
  // the word switches off has no termios counterpart; IXANY, the closest
  // relaxation of XOFF, is switched off with it.
  if (f.xonXoff == 1) {
    s.c_iflag |= IXON | IXOFF;
    s.c_iflag &= ~static_cast<tcflag_t>(IXANY);
  } else if (f.xonXoff == 2) {
    s.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  }
  return true;
}

bool WriteLineState(NativePort& native, const LineState& state) {
  // A speed without a termios constant takes a second call; when the system
  // refuses either, the record read before is put back, so that the port
  // keeps all of its old settings rather than half of the new ones. (The
  // speed in that record is kept by the kernel when it is such a speed: the
  // refused call has not changed it.)
  const bool applied = ::tcsetattr(native.fd, TCSANOW, &state.settings) == 0 &&
                       (state.customBaud == 0 || SetCustomBaudRate(native.fd, state.customBaud));
  if (!applied) {
    ::tcsetattr(native.fd, TCSANOW, &state.original);
    return false;
  }
  // The modem lines last: a pseudo-terminal has none, and a port that cannot
  // set them still carries bytes.
  ApplyModemLines(native.fd, state);
  return true;
}

bool SetReadTimeouts(NativePort& native, int intervalMs, int totalMs) {
  native.readIntervalMs = intervalMs;
  native.readTotalMs = totalMs;
  return true;
}

bool SetWriteTimeout(NativePort& native, int milliseconds) {
  native.writeTotalMs = milliseconds;
  return true;
}

int WaitingBytes(NativePort& native) {
  int waiting = 0;
  if (::ioctl(native.fd, FIONREAD, &waiting) != 0) {
    if (errno == EIO) native.gone = std::strerror(errno);  // a hung-up line
    return 0;
  }
  return waiting;
}

int ReadBytes(NativePort& native, void* buffer, int count) {
  auto* bytes = static_cast<unsigned char*>(buffer);
  const auto start = Clock::now();
  std::optional<Clock::time_point> totalDeadline;
  if (native.readTotalMs > 0) totalDeadline = start + std::chrono::milliseconds(native.readTotalMs);
  std::optional<Clock::time_point> intervalDeadline;

  int received = 0;
  while (received < count) {
    // The interval time-out runs from the last byte received, the total
    // time-out from the start of the read; the earlier one ends the read.
    std::optional<Clock::time_point> deadline = totalDeadline;
    if (intervalDeadline && (!deadline || *intervalDeadline < *deadline)) deadline = intervalDeadline;
    int waitMs = deadline ? RemainingMs(*deadline) : -1;

    pollfd descriptor{native.fd, POLLIN, 0};
    int ready = ::poll(&descriptor, 1, waitMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      native.gone = std::strerror(errno);
      break;
    }
    if (ready == 0) break;  // time-out
    if ((descriptor.revents & POLLIN) == 0) {
      native.gone = kHungUp;  // or an error: either way the line is gone
      break;
    }
    ssize_t got = ::read(native.fd, bytes + received, static_cast<std::size_t>(count - received));
    if (got > 0) {
      received += static_cast<int>(got);
      if (native.readIntervalMs > 0) {
        intervalDeadline = Clock::now() + std::chrono::milliseconds(native.readIntervalMs);
      }
      continue;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    // 0 after a readable poll, or EIO: the line is gone.
    native.gone = got == 0 ? kHungUp : std::strerror(errno);
    break;
  }
  return received;
}

int WriteBytes(NativePort& native, const void* buffer, int count) {
  // The write time-out covers handing the bytes to the tty and their
  // leaving it, as a Windows driver completes a write: a reply's time-out
  // then starts when its command is on the line, not while it still waits
  // in a queue (259 bytes take 540 ms at 4800 baud).
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  std::optional<Clock::time_point> deadline;
  if (native.writeTotalMs > 0) {
    deadline = Clock::now() + std::chrono::milliseconds(native.writeTotalMs);
  }
  auto pastDeadline = [&] { return deadline && Clock::now() >= *deadline; };

  int written = 0;
  while (written < count && !pastDeadline()) {
    ssize_t put = ::write(native.fd, bytes + written, static_cast<std::size_t>(count - written));
    if (put > 0) {
      written += static_cast<int>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN) {
      native.gone = std::strerror(errno);  // EIO: the line is gone
      return written;
    }
    const int waitMs = deadline ? RemainingMs(*deadline) : -1;
    if (put == 0) {
      // The driver took nothing and gave no reason (and poll() may well
      // call it writable): try again a little later rather than at once.
      Pause(waitMs < 0 ? kRetryPauseMs : std::min(waitMs, kRetryPauseMs));
      continue;
    }
    pollfd descriptor{native.fd, POLLOUT, 0};
    const int ready = ::poll(&descriptor, 1, waitMs);
    if (ready < 0 && errno != EINTR) return written;
    if (ready > 0 && (descriptor.revents & POLLOUT) == 0) {
      native.gone = kHungUp;
      return written;
    }
  }
  return written - std::min(written, DrainOutput(native.fd, deadline));
}

bool DiscardInput(NativePort& native) { return ::tcflush(native.fd, TCIFLUSH) == 0; }

}  // namespace serial_backend
