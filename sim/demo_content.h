// What a fresh virtual sensor holds, so that a READ gives files a person can
// tell apart: parameter values that name their set, a smooth compensation
// vignette and, per bank, a colourful picture showing the bank number.
#pragma once

#include <cstdint>

#include "sim/sensor_memory.h"

namespace zema::sim {

inline constexpr int kPatternWidth = 236;
inline constexpr int kPatternHeight = 208;
inline constexpr int kSection0Rows = 128;

// Demo value i of parameter set s: 1000 * s + i (set 15 is the common set).
std::uint16_t DemoParamValue(int set, int index);

// The fresh sensor's memory (transfer area cleared).
SensorMemory DemoMemory();

// Packs 5-bit blue, 5-bit red and 6-bit green fields into a pixel word.
constexpr std::uint16_t PixelWord(int blue5, int red5, int green6) {
  return static_cast<std::uint16_t>((blue5 & 0x1F) | ((red5 & 0x1F) << 5) |
                                    ((green6 & 0x3F) << 10));
}

// Pixel (x, y) of a pattern, y being the pattern row (0 = first row sent, the
// bottom row of the bitmap file).
std::uint16_t PatternPixel(const SensorMemory& memory, int bank, int x, int y);
void SetPatternPixel(SensorMemory& memory, int bank, int x, int y, std::uint16_t word);

// Compensation sample value of transfer-order sample n (0..12271), the low
// byte of its word.
std::uint8_t CompensationSample(const SensorMemory& memory, int n);

}  // namespace zema::sim
