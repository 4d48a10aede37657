// The line of the fuzz build's serial driver: an in-memory backend
// (serial_port_backend.h) in place of the system's ports. What the sensor
// "sent" is set before each exchange; what the program writes is kept for
// the fuzz target to look at.
//
// A memory line never waits: a read returns at once with what is left, as a
// real port would once its time-out had passed with nothing more arriving.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace memory_line {

// Replaces the bytes waiting to be read and forgets what was written.
void Load(std::span<const std::uint8_t> incoming);

// Bytes not read yet.
std::size_t Unread();

// Everything the program wrote since the last Load.
const std::vector<std::uint8_t>& Written();

}  // namespace memory_line
