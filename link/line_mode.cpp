#include "link/line_mode.h"

#include <array>

namespace zema {

LineModeFields DecodeLineMode(std::uint32_t word) {
  auto field = [word](int shift, std::uint32_t mask) {
    return static_cast<int>((word >> shift) & mask);
  };
  LineModeFields f;
  f.baudCode = field(0, 0xF);
  f.stopBits = field(4, 0x3);
  f.parity = field(8, 0x7);
  f.dataBits = field(12, 0x7);
  f.dtr = field(16, 0x3);
  f.rts = field(20, 0x7);
  f.ctsFlowOn = field(24, 1) != 0;
  f.ctsFlowOff = field(25, 1) != 0;
  f.dsrFlowOn = field(26, 1) != 0;
  f.dsrFlowOff = field(27, 1) != 0;
  f.xonXoff = field(28, 0x3);
  return f;
}

unsigned BaudRateForCode(int baudCode) {
  static constexpr std::array<unsigned, 16> kRates{
      0,     110,   300,   600,   1200,   2400,   4800,   9600,
      14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
  if (baudCode < 1 || baudCode > 15) return 0;
  return kRates[static_cast<std::size_t>(baudCode)];
}

int DataBitsForCode(int dataBitsCode) {
  if (dataBitsCode < 1 || dataBitsCode > 5) return 0;
  return dataBitsCode + 3;
}

}  // namespace zema
