// Timing of a real serial line, which a pseudo-terminal does not have: a pty
// hands bytes over the moment they are written, a line carries one byte every
// ten bit times (start bit, eight data bits, stop bit).
//
// The virtual sensor uses this to stay honest in both directions: a frame is
// not answered before its last byte could have arrived, and no byte of a
// reply is handed over before its stop bit could have gone.
#pragma once

#include <chrono>
#include <cstddef>

namespace zema::sim {

using LineClock = std::chrono::steady_clock;

// Time `bytes` bytes take on a line of `baud` at 10 bits a byte; 0 for baud 0.
std::chrono::nanoseconds LineTime(std::size_t bytes, unsigned baud);

// When the bytes read from the pty would have arrived on a real line.
//
// The moment bytes are seen is no earlier than the moment they were sent,
// and a line carries them one after another at its rate, so the last of
// `count` bytes seen at `seen` arrives no earlier than
//   max(arrival of the byte before them, seen) + count byte times.
// Taking that as its arrival can only make a reply later than on a real
// line, never earlier; the excess is the time from the sender's write to
// the sensor's wake-up.
class ArrivalModel {
 public:
  // `count` bytes were read at `seen` on a line of `baud` (0: no line
  // timing, the bytes count as arrived when seen).
  void Received(std::size_t count, LineClock::time_point seen, unsigned baud);
  // Arrival of the byte `before` places before the last one received.
  LineClock::time_point ArrivalOf(std::size_t before) const;

 private:
  LineClock::time_point last_{};
  unsigned baud_ = 0;
};

// A reply leaves in bursts, as a UART's FIFO hands bytes on: each burst
// holds as many bytes as the line carries in kBurstSpacing (at least one)
// and is written when the stop bit of its last byte has gone. The reader
// and the sensor then wake a few times per reply instead of once per byte,
// and the last byte still leaves exactly when the line would deliver it.
inline constexpr std::chrono::microseconds kBurstSpacing{2000};

struct Burst {
  std::size_t end;              // bytes [previous end, end) go in this burst
  LineClock::time_point due;    // when they may be written
};

// The burst after the first `done` of `count` bytes whose transmission
// starts at `start` on a line of `baud` (non-zero).
Burst NextBurst(std::size_t done, std::size_t count, LineClock::time_point start, unsigned baud);

// How late timer wake-ups come: the recent peak, fading with every wake-up
// that is less late, so that one bad moment is soon forgotten.
class WakeLateness {
 public:
  void Observe(std::chrono::nanoseconds late);
  // How much earlier to wake for an exact wait; never more than kMaxMargin.
  std::chrono::nanoseconds Margin() const { return peak_; }

  static constexpr std::chrono::microseconds kMaxMargin{500};

 private:
  std::chrono::nanoseconds peak_{0};
};

}  // namespace zema::sim
