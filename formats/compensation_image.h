// The brightness-compensation table in its bitmap file.
//
// The table fills blocks 160 to 255 of the sensor's transfer area: 128
// samples per block, each a 16-bit word whose low byte is the value. Every
// sample the file carries fills twelve bytes (four grey pixels) of the
// file, in transfer order; samples 0 to 15 of block 160 are not carried.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "link/commands.h"

inline constexpr int kCompensationBlocks =
    kCompensationLastBlock - kCompensationFirstBlock + 1;  // 96
inline constexpr int kSamplesPerBlock = kBlockBytes / 2;
inline constexpr std::size_t kBytesPerSample = 12;
inline constexpr std::size_t kMaxCompensationFileBytesPerBlock = kSamplesPerBlock * kBytesPerSample;

// The first sample of `block` that the file carries (16 in block 160, else 0).
int FirstCarriedSample(int block);

// How many bytes of the file block `block` fills.
std::size_t CompensationFileBytes(int block);

// READ: the file bytes of `block` from its wire bytes. Every byte of a
// sample is (2 * value) mod 256; the high byte of the word is not kept.
// Returns CompensationFileBytes(block).
std::size_t CompensationToFile(int block, std::span<const std::uint8_t, kBlockBytes> wire,
                               std::span<std::uint8_t, kMaxCompensationFileBytesPerBlock> file);

// WRITE: the wire bytes of `block` from its file bytes, of which only the
// first `available` could be read. Only the twelfth byte B of a sample
// counts: the word is B / 2. A sample the file does not carry, or whose
// twelfth byte is missing, is sent as 0.
void CompensationFromFile(int block, std::span<const std::uint8_t> file, std::size_t available,
                          std::span<std::uint8_t, kBlockBytes> wire);
