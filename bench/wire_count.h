// What a run actually put on the wire, counted from the frames that
// zema-transfer --trace prints, and the least time those frames need there.
//
// The bound is physical: every byte takes 10 bit times (start, 8 data bits,
// stop), and a flash commit's reply cannot come before the sensor's flash
// store has taken its time. No program can finish faster.
#pragma once

#include <chrono>
#include <string>

#include "link/commands.h"

namespace zema::bench {

struct WireCount {
  int exchanges = 0;        // command frames sent (0x81 to 0x88)
  int blockCommands = 0;    // of them 0x83 and 0x84
  int flashCommits = 0;     // of them 0x86
  long long wireBytes = 0;  // every byte sent and received, the handshake's included

  // Adds one line of trace output; lines that are not frames are ignored.
  void AddTraceLine(const std::string& line);
  void AddTrace(const std::string& text);

  std::chrono::nanoseconds Bound(unsigned baud, std::chrono::milliseconds flashDelay) const;
};

// Line time of `bytes` bytes at `baud`, 10 bits a byte.
std::chrono::nanoseconds WireTime(long long bytes, unsigned baud);

}  // namespace zema::bench
