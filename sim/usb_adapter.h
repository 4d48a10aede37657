// A USB serial adapter between the sensor and the PC, as the PC sees it.
//
// The adapter's chip collects the bytes it receives from the line and
// hands them to the host in USB packets: a packet leaves when it is full
// (62 data bytes, the chip's 2 status bytes making up the 64) or when the
// chip's latency timer runs out, the timer starting with the packet's
// first byte. A reply that does not end on a packet boundary thus reaches
// the PC up to one timer period after its last byte was on the line: 16 ms
// by default on Linux, 1 ms with the port's low-latency flag set.
#pragma once

#include <chrono>
#include <cstddef>

#include "sim/line_timing.h"

namespace zema::sim {

inline constexpr std::size_t kUsbPacketDataBytes = 62;

// The packet after the first `done` of `count` bytes whose transmission on
// the line starts at `start` at `baud` (0: the bytes are all there at
// `start`), through an adapter whose latency timer is `latency` (positive).
Burst NextUsbPacket(std::size_t done, std::size_t count, LineClock::time_point start, unsigned baud,
                    std::chrono::milliseconds latency);

}  // namespace zema::sim
