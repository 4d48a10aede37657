// The low-latency flag of a serial port (ASYNC_LOW_LATENCY). On a USB
// adapter of the FTDI kind it shortens the chip's latency timer from 16 ms
// to 1 ms: a reply that does not end on a full USB packet then reaches the
// program 15 ms sooner, in every exchange. The driver sets the flag while
// it has a port open and puts the port's own setting back when it closes.
//
// Only that one bit is changed (read first, change, write back), which
// needs no privilege. A pseudo-terminal knows no such flag (ENOTTY); a
// driver that refuses it (EPERM) leaves the port usable as it is.
#pragma once

#include <string>

namespace zema {

struct LowLatencyChange {
  enum class Outcome {
    NotTried,      // no port, or a system without the flag
    Set,           // it was clear, it is set now
    AlreadySet,    // it was set, nothing changed
    NotSupported,  // the port has no such flag (a pseudo-terminal)
    Refused,       // the driver would not change it
  };
  Outcome outcome = Outcome::NotTried;
  int systemError = 0;  // errno of NotSupported and Refused
};

// Sets the flag of the open terminal fd, when it is clear.
LowLatencyChange EnableLowLatency(int fd);

// Clears the flag again when EnableLowLatency set it; false when the
// driver refused that.
bool RestoreLowLatency(int fd, const LowLatencyChange& change);

// One line for the trace on what EnableLowLatency did to `device`.
std::string DescribeLowLatency(const std::string& device, const LowLatencyChange& change);

}  // namespace zema
