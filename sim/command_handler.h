// What the sensor does with one well-formed command frame: the effect on its
// memory and the reply it gives. No line, timing or faults here.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/sensor_memory.h"

namespace zema::sim {

struct CommandOutcome {
  bool nak = false;                   // unknown code, selector or set index
  std::vector<std::uint8_t> payload;  // reply payload after ACK (when !nak)
  bool storedChanged = false;         // parameter set or flash image written
  bool flashCommit = false;           // the reply waits for the flash delay
  bool resume = false;                // 0x87: leave PC communication
};

// Payload length of a command code, -1 for a code the sensor does not know.
int CommandPayloadLength(std::uint8_t code);

// A complete reply frame: ACK, payload, checksum.
std::vector<std::uint8_t> AckFrame(std::span<const std::uint8_t> payload);

// Carries out `frame` (code, payload, checksum already verified). With
// `storeWrong`, one word of what 0x82 or 0x86 stores differs from what was
// sent: the middle word of the set or image, its lowest bit flipped.
CommandOutcome HandleCommand(SensorMemory& memory, std::span<const std::uint8_t> frame,
                             bool storeWrong);

}  // namespace zema::sim
