#include "sim/line_timing.h"

#include <algorithm>

namespace zema::sim {

std::chrono::nanoseconds LineTime(std::size_t bytes, unsigned baud) {
  if (baud == 0) return std::chrono::nanoseconds(0);
  // Rounded up: a byte is never taken as gone before its time.
  const long long bits = static_cast<long long>(bytes) * 10 * 1000000000LL;
  return std::chrono::nanoseconds((bits + baud - 1) / baud);
}

void ArrivalModel::Received(std::size_t count, LineClock::time_point seen, unsigned baud) {
  if (baud == 0) {
    last_ = seen;
    baud_ = 0;
    return;
  }
  last_ = std::max(last_, seen) + LineTime(count, baud);
  baud_ = baud;
}

LineClock::time_point ArrivalModel::ArrivalOf(std::size_t before) const {
  if (baud_ == 0) return last_;
  // Rounded down: an earlier byte is never put before its time.
  return last_ - std::chrono::nanoseconds(static_cast<long long>(before) * 10 * 1000000000LL /
                                          baud_);
}

Burst NextBurst(std::size_t done, std::size_t count, LineClock::time_point start, unsigned baud) {
  const auto byteTime = LineTime(1, baud);
  const std::size_t perBurst =
      std::max<std::size_t>(1, static_cast<std::size_t>(kBurstSpacing / byteTime));
  const std::size_t end = std::min(count, done + perBurst);
  return {end, start + LineTime(end, baud)};
}

void WakeLateness::Observe(std::chrono::nanoseconds late) {
  const auto faded = peak_ - peak_ / 16;
  peak_ = std::clamp<std::chrono::nanoseconds>(std::max(late, faded), std::chrono::nanoseconds(0),
                                               kMaxMargin);
}

}  // namespace zema::sim
