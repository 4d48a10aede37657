// Decoding of the 32-bit LineMode word that ComSetMode applies.
//
// Every field value 0 means "leave this setting as the port has it". The
// backends read the port's current state, change it field by field from the
// decoded word and write it back.
#pragma once

#include <cstdint>

namespace zema {

struct LineModeFields {
  int baudCode = 0;      // bits 0-3: 1 = 110 ... 15 = 256000 baud
  int stopBits = 0;      // bits 4-5: 1 = one, 2 = one and a half, 3 = two
  int parity = 0;        // bits 8-10: 1 none, 2 odd, 3 even, 4 mark, 5 space
  int dataBits = 0;      // bits 12-14: 1 = 4, 2 = 5, 3 = 6, 4 = 7, 5 = 8
  int dtr = 0;           // bits 16-17: 1 off, 2 on, 3 handshake
  int rts = 0;           // bits 20-22: 1 off, 2 on, 3 handshake, 4 toggle
  bool ctsFlowOn = false;   // bit 24
  bool ctsFlowOff = false;  // bit 25
  bool dsrFlowOn = false;   // bit 26
  bool dsrFlowOff = false;  // bit 27
  int xonXoff = 0;       // bits 28-29: 1 on, 2 off, 0 or 3 leave
};

LineModeFields DecodeLineMode(std::uint32_t word);

// Baud rate in bits per second for a baud code 1..15, 0 for any other code.
unsigned BaudRateForCode(int baudCode);

// Data bits per character for a data-bits code 1..5, 0 for any other code.
int DataBitsForCode(int dataBitsCode);

}  // namespace zema
