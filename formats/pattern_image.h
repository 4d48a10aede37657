// The pattern images in their bitmap files.
//
// A pattern is 208 rows of 236 pixel words (blue bits 0-4, red bits 5-9,
// green bits 10-15) in two sections: rows 0 to 127 and rows 128 to 207.
// Row r of a section lies in blocks 2r (pixels 0 to 127) and 2r + 1 (pixels
// 128 to 235 in its first 108 words; its last 40 bytes carry nothing). The
// file keeps the rows in that order, three bytes (blue, green, red) per
// pixel, so the blocks of a section map onto the file one after the other.
//
// Bit 0 of a word decides its form in the file: an even word becomes three
// 8-bit channels, an odd word keeps its raw fields (blue byte 0xE0 + blue).
// Every word survives READ then WRITE; a picture made elsewhere loses the
// low bits of its channels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/commands.h"

inline constexpr int kPatternBankBlocks = kPatternSection0Blocks + kPatternSection1Blocks;  // 416
inline constexpr int kWordsInEvenBlock = 128;
inline constexpr int kWordsInOddBlock = 108;
inline constexpr std::size_t kMaxPatternFileBytesPerBlock = 3 * kWordsInEvenBlock;

struct PixelBytes {
  std::uint8_t blue;
  std::uint8_t green;
  std::uint8_t red;
  bool operator==(const PixelBytes&) const = default;
};

PixelBytes PixelBytesOf(std::uint16_t word);
std::uint16_t PixelWordOf(PixelBytes pixel);

int PatternSectionBlocks(int section);

// The pixel words of `block`: those of an even block and the first 108 of
// an odd one.
int PatternWordsInBlock(int block);

// How many bytes of the file block `block` fills.
std::size_t PatternFileBytes(int block);

// READ: the file bytes of `block` from its wire bytes; the unused words of
// an odd block leave no trace. Returns PatternFileBytes(block).
std::size_t PatternToFile(int block, std::span<const std::uint8_t, kBlockBytes> wire,
                          std::span<std::uint8_t, kMaxPatternFileBytesPerBlock> file);

// WRITE: the wire bytes of `block` from its file bytes, of which only the
// first `available` could be read; a missing byte counts as 0xFF. The last
// 40 bytes of an odd block are zero.
void PatternFromFile(int block, std::span<const std::uint8_t> file, std::size_t available,
                     std::span<std::uint8_t, kBlockBytes> wire);
