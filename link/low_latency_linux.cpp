#include "link/low_latency_linux.h"

#include <cerrno>
#include <cstring>

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace zema {

#if defined(__linux__)
LowLatencyChange EnableLowLatency(int fd) {
  using Outcome = LowLatencyChange::Outcome;
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return {Outcome::NotSupported, errno};
  if ((serial.flags & ASYNC_LOW_LATENCY) != 0) return {Outcome::AlreadySet, 0};
  // The rest of the record goes back to the driver exactly as it came.
  serial.flags |= ASYNC_LOW_LATENCY;
  if (::ioctl(fd, TIOCSSERIAL, &serial) != 0) return {Outcome::Refused, errno};
  return {Outcome::Set, 0};
}

bool RestoreLowLatency(int fd, const LowLatencyChange& change) {
  if (change.outcome != LowLatencyChange::Outcome::Set) return true;
  // Read again: only the one bit goes back, whatever else changed meanwhile.
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return false;
  serial.flags &= ~ASYNC_LOW_LATENCY;
  return ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
}
#else
LowLatencyChange EnableLowLatency(int) { return {}; }
bool RestoreLowLatency(int, const LowLatencyChange&) { return true; }
#endif

std::string DescribeLowLatency(const std::string& device, const LowLatencyChange& change) {
  using Outcome = LowLatencyChange::Outcome;
  switch (change.outcome) {
    case Outcome::Set:
      return device +
             ": low-latency flag set while the port is open (an FTDI adapter's "
             "latency timer 1 ms)";
    case Outcome::AlreadySet:
      return device + ": low-latency flag already set";
    case Outcome::NotSupported:
      return device + ": no low-latency flag on this port (" + std::strerror(change.systemError) +
             ")";
    case Outcome::Refused:
      return device + ": the driver refused the low-latency flag (" +
             std::strerror(change.systemError) + "); the port is used as it is";
    case Outcome::NotTried:
      break;
  }
  return device + ": low-latency flag not tried on this system";
}

}  // namespace zema
