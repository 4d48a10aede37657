// Lines of the exchange trace (--trace): who sent what, in hex, and what it
// means to the sensor.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zema::sim {

// "81 03 7B" for the bytes 0x81 0x03 0x7B.
std::string HexBytes(std::span<const std::uint8_t> bytes);

// Plain words for a well-formed command frame, e.g. "read parameter set 3",
// "write block 17", "load image 6 (bank 0, section 1)".
std::string DescribeCommand(std::span<const std::uint8_t> frame);

// One trace line: "PC -> ZEMA  81 03 7B  read parameter set 3".
std::string TraceLine(const char* direction, std::span<const std::uint8_t> bytes,
                      const std::string& meaning);

}  // namespace zema::sim
