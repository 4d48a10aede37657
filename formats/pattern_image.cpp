#include "formats/pattern_image.h"

#include <algorithm>

namespace {

struct Fields {
  int blue;   // 5 bits
  int red;    // 5 bits
  int green;  // 6 bits
};

Fields FieldsOf(std::uint16_t word) { return {word & 0x1F, (word >> 5) & 0x1F, word >> 10}; }

std::uint16_t WordOf(Fields fields) {
  return static_cast<std::uint16_t>(fields.blue | fields.red << 5 | fields.green << 10);
}

}  // namespace

int PatternWordsInBlock(int block) { return block % 2 == 0 ? kWordsInEvenBlock : kWordsInOddBlock; }

PixelBytes PixelBytesOf(std::uint16_t word) {
  const Fields f = FieldsOf(word);
  if (word & 1) {
    return {static_cast<std::uint8_t>(0xE0 + f.blue), static_cast<std::uint8_t>(f.green),
            static_cast<std::uint8_t>(f.red)};
  }
  return {static_cast<std::uint8_t>(f.blue * 8), static_cast<std::uint8_t>(f.green * 4),
          static_cast<std::uint8_t>(f.red * 8)};
}

std::uint16_t PixelWordOf(PixelBytes pixel) {
  if (pixel.blue & 1) return WordOf({pixel.blue % 32, pixel.red % 32, pixel.green % 64});
  return WordOf({pixel.blue / 8, pixel.red / 8, pixel.green / 4});
}

int PatternSectionBlocks(int section) {
  return section == 0 ? kPatternSection0Blocks : kPatternSection1Blocks;
}

std::size_t PatternFileBytes(int block) {
  return 3 * static_cast<std::size_t>(PatternWordsInBlock(block));
}

std::size_t PatternToFile(int block, std::span<const std::uint8_t, kBlockBytes> wire,
                          std::span<std::uint8_t, kMaxPatternFileBytesPerBlock> file) {
  std::size_t at = 0;
  for (int i = 0; i < PatternWordsInBlock(block); ++i) {
    const auto low = static_cast<std::size_t>(2 * i);
    const PixelBytes pixel =
        PixelBytesOf(static_cast<std::uint16_t>(wire[low] | wire[low + 1] << 8));
    file[at++] = pixel.blue;
    file[at++] = pixel.green;
    file[at++] = pixel.red;
  }
  return at;
}

void PatternFromFile(int block, std::span<const std::uint8_t> file, std::size_t available,
                     std::span<std::uint8_t, kBlockBytes> wire) {
  std::fill(wire.begin(), wire.end(), std::uint8_t{0});
  available = std::min(available, file.size());
  auto byteAt = [&](std::size_t at) { return at < available ? file[at] : std::uint8_t{0xFF}; };
  for (int i = 0; i < PatternWordsInBlock(block); ++i) {
    const auto at = static_cast<std::size_t>(3 * i);
    const std::uint16_t word = PixelWordOf({byteAt(at), byteAt(at + 1), byteAt(at + 2)});
    wire[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(word & 0xFF);
    wire[static_cast<std::size_t>(2 * i + 1)] = static_cast<std::uint8_t>(word >> 8);
  }
}
