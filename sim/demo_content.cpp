#include "sim/demo_content.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace zema::sim {
namespace {

// 5 x 7 digits, one string per row, '#' set.
constexpr std::array<std::array<const char*, 7>, 10> kDigitFont{{
    {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "},
    {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "},
    {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"},
    {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "},
    {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "},
    {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "},
    {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "},
    {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "},
    {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "},
    {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "},
}};

constexpr int kGlyphScale = 14;
constexpr int kGlyphGap = 14;
constexpr int kOutline = 3;
constexpr int kBorder = 4;

struct Rgb {
  double r, g, b;  // 0..1
};

Rgb FromHsv(double hueDegrees, double saturation, double value) {
  const double h = std::fmod(hueDegrees, 360.0) / 60.0;
  const double c = value * saturation;
  const double x = c * (1 - std::fabs(std::fmod(h, 2.0) - 1));
  const double m = value - c;
  Rgb rgb{0, 0, 0};
  switch (static_cast<int>(h)) {
    case 0: rgb = {c, x, 0}; break;
    case 1: rgb = {x, c, 0}; break;
    case 2: rgb = {0, c, x}; break;
    case 3: rgb = {0, x, c}; break;
    case 4: rgb = {x, 0, c}; break;
    default: rgb = {c, 0, x}; break;
  }
  return {rgb.r + m, rgb.g + m, rgb.b + m};
}

// An even word (lowest blue bit clear) is kept in the bitmap as ordinary
// 8-bit colour channels, so the demo pictures use even words only.
std::uint16_t ViewableWord(const Rgb& colour) {
  const int blue = static_cast<int>(std::lround(colour.b * 31)) & ~1;
  const int red = static_cast<int>(std::lround(colour.r * 31));
  const int green = static_cast<int>(std::lround(colour.g * 63));
  return PixelWord(blue, red, green);
}

// Mask of the bank number's digits, in viewer coordinates (row 0 at the top).
std::vector<bool> NumberMask(int bank) {
  const std::string digits = std::to_string(bank);
  const int count = static_cast<int>(digits.size());
  const int width = count * 5 * kGlyphScale + (count - 1) * kGlyphGap;
  const int left = (kPatternWidth - width) / 2;
  const int top = (kPatternHeight - 7 * kGlyphScale) / 2;
  std::vector<bool> mask(static_cast<std::size_t>(kPatternWidth * kPatternHeight));
  for (int d = 0; d < count; ++d) {
    const auto& glyph = kDigitFont[static_cast<std::size_t>(digits[static_cast<std::size_t>(d)] - '0')];
    const int glyphLeft = left + d * (5 * kGlyphScale + kGlyphGap);
    for (int row = 0; row < 7 * kGlyphScale; ++row) {
      for (int col = 0; col < 5 * kGlyphScale; ++col) {
        if (glyph[static_cast<std::size_t>(row / kGlyphScale)][col / kGlyphScale] == '#') {
          mask[static_cast<std::size_t>((top + row) * kPatternWidth + glyphLeft + col)] = true;
        }
      }
    }
  }
  return mask;
}

bool NearMask(const std::vector<bool>& mask, int x, int y) {
  for (int dy = -kOutline; dy <= kOutline; ++dy) {
    for (int dx = -kOutline; dx <= kOutline; ++dx) {
      const int nx = x + dx;
      const int ny = y + dy;
      if (nx >= 0 && nx < kPatternWidth && ny >= 0 && ny < kPatternHeight &&
          mask[static_cast<std::size_t>(ny * kPatternWidth + nx)]) {
        return true;
      }
    }
  }
  return false;
}

void DrawDemoPattern(SensorMemory& memory, int bank) {
  const auto mask = NumberMask(bank);
  const double baseHue = bank * 24.0;
  const std::uint16_t white = PixelWord(30, 31, 63);
  const std::uint16_t black = PixelWord(0, 0, 0);
  const std::uint16_t frame = ViewableWord(FromHsv(baseHue + 180.0, 0.9, 0.5));
  for (int viewRow = 0; viewRow < kPatternHeight; ++viewRow) {
    for (int x = 0; x < kPatternWidth; ++x) {
      std::uint16_t word;
      if (mask[static_cast<std::size_t>(viewRow * kPatternWidth + x)]) {
        word = white;
      } else if (NearMask(mask, x, viewRow)) {
        word = black;
      } else if (x < kBorder || x >= kPatternWidth - kBorder || viewRow < kBorder ||
                 viewRow >= kPatternHeight - kBorder) {
        word = frame;
      } else {
        const double hue = baseHue + 60.0 * x / kPatternWidth;
        const double value = 0.95 - 0.45 * viewRow / kPatternHeight;
        word = ViewableWord(FromHsv(hue, 0.85, value));
      }
      // Pattern row 0 is the bottom row of the bitmap: flip so that the
      // number reads upright in a viewer.
      SetPatternPixel(memory, bank, x, kPatternHeight - 1 - viewRow, word);
    }
  }
}

// Brightness compensation that rises smoothly towards the edges and corners
// of the image, the way a lens vignette would need.
std::uint8_t DemoCompensationValue(int n) {
  const double col = n % 59;
  const double row = n / 59;
  const double dx = (col - 29.0) / 29.0;
  const double dy = (row - 103.5) / 103.5;
  const double d2 = (dx * dx + dy * dy) / 2.0;  // 0 at the centre, 1 in a corner
  return static_cast<std::uint8_t>(std::lround(20.0 + 100.0 * d2));
}

// Transfer-order sample n sits in block 160 + (n + 16) / 128: the first 16
// samples of block 160 are not part of the picture.
constexpr int kSkippedSamples = 16;
constexpr int kSamplesPerBlock = kBlockBytes / 2;
constexpr int kCompensationSamples = kCompensationBlocks * kSamplesPerBlock - kSkippedSamples;

}  // namespace

std::uint16_t DemoParamValue(int set, int index) {
  return static_cast<std::uint16_t>(1000 * set + index);
}

std::uint16_t PatternPixel(const SensorMemory& memory, int bank, int x, int y) {
  const int section = y < kSection0Rows ? 0 : 1;
  const int row = y - section * kSection0Rows;
  const int block = 2 * row + (x < 128 ? 0 : 1);
  const int word = x < 128 ? x : x - 128;
  const auto& image = memory.patterns.at(static_cast<std::size_t>(bank))
                          .at(static_cast<std::size_t>(section));
  return WordAt(image, static_cast<std::size_t>(block * kSamplesPerBlock + word));
}

void SetPatternPixel(SensorMemory& memory, int bank, int x, int y, std::uint16_t value) {
  const int section = y < kSection0Rows ? 0 : 1;
  const int row = y - section * kSection0Rows;
  const int block = 2 * row + (x < 128 ? 0 : 1);
  const int word = x < 128 ? x : x - 128;
  auto& image = memory.patterns.at(static_cast<std::size_t>(bank))
                    .at(static_cast<std::size_t>(section));
  SetWordAt(image, static_cast<std::size_t>(block * kSamplesPerBlock + word), value);
}

std::uint8_t CompensationSample(const SensorMemory& memory, int n) {
  return memory.compensation[2 * static_cast<std::size_t>(n + kSkippedSamples)];
}

SensorMemory DemoMemory() {
  // Drawn once per process: tests start many sensors.
  static const SensorMemory demo = [] {
    SensorMemory memory;
    for (int set = 0; set < kParamSetCount; ++set) {
      for (int i = 0; i < kParamValuesPerSet; ++i) {
        memory.params[static_cast<std::size_t>(set)][static_cast<std::size_t>(i)] =
            DemoParamValue(set, i);
      }
    }
    for (int n = 0; n < kCompensationSamples; ++n) {
      SetWordAt(memory.compensation, static_cast<std::size_t>(n + kSkippedSamples),
                DemoCompensationValue(n));
    }
    for (int bank = 0; bank < kBankCount; ++bank) DrawDemoPattern(memory, bank);
    return memory;
  }();
  return demo;
}

}  // namespace zema::sim
