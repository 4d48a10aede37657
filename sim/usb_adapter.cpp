#include "sim/usb_adapter.h"

#include <algorithm>

namespace zema::sim {

Burst NextUsbPacket(std::size_t done, std::size_t count, LineClock::time_point start, unsigned baud,
                    std::chrono::milliseconds latency) {
  const std::size_t fullEnd = done + kUsbPacketDataBytes;
  const LineClock::time_point timerEnds = start + LineTime(done + 1, baud) + latency;
  if (fullEnd <= count && start + LineTime(fullEnd, baud) <= timerEnds) {
    return {fullEnd, start + LineTime(fullEnd, baud)};
  }
  // The timer runs out first: the packet holds what has come in by then.
  std::size_t arrived = count;
  if (baud != 0) {
    const auto bitTimes =
        std::chrono::nanoseconds(timerEnds - start).count() * static_cast<long long>(baud);
    arrived = static_cast<std::size_t>(bitTimes / (10 * 1000000000LL));
  }
  const std::size_t end = std::clamp(arrived, done + 1, std::min(count, fullEnd));
  return {end, timerEnds};
}

}  // namespace zema::sim
