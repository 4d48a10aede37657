// The virtual sensor's memory: parameter sets, the images held in flash and
// the transfer area through which images pass block by block.
//
// A stored image covers a fixed range of transfer-area blocks: the
// compensation table blocks 160 to 255, pattern section 0 blocks 0 to 255,
// pattern section 1 blocks 0 to 159. Loading an image (0x85) copies its
// blocks into that range of the transfer area and leaves the other blocks
// as they were; committing (0x86) copies the range back into flash.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "link/commands.h"

namespace zema::sim {

inline constexpr int kParamSetCount = 16;     // 0..14 banks, 15 common
inline constexpr int kTransferAreaBlocks = 256;
inline constexpr int kCompensationBlocks =
    kCompensationLastBlock - kCompensationFirstBlock + 1;  // 96
inline constexpr int kPatternSections = 2;

using ParamSet = std::array<std::uint16_t, kParamValuesPerSet>;

// Where a stored image lives in the transfer area.
struct ImageSlot {
  enum class Kind { kCompensation, kPattern };
  Kind kind;
  int bank;        // pattern only
  int section;     // pattern only
  int firstBlock;  // first transfer-area block the image covers
  int blockCount;
};

// The image a selector of 0x85/0x86 names; empty for an unknown selector.
std::optional<ImageSlot> ImageForSelector(int selector);

struct SensorMemory {
  SensorMemory();

  std::array<ParamSet, kParamSetCount> params{};
  // Flash images, each blockCount * 256 bytes of its slot.
  std::vector<std::uint8_t> compensation;
  std::array<std::array<std::vector<std::uint8_t>, kPatternSections>, kBankCount>
      patterns;
  // Working memory, not kept in flash.
  std::vector<std::uint8_t> transferArea;

  std::span<std::uint8_t> FlashImage(const ImageSlot& slot);
  std::span<const std::uint8_t> FlashImage(const ImageSlot& slot) const;
  std::span<std::uint8_t> TransferBlock(int block);
  std::span<const std::uint8_t> TransferBlock(int block) const;

  // 0x85: copies the stored image into its blocks of the transfer area.
  void LoadImage(const ImageSlot& slot);
  // 0x86: copies the image's blocks of the transfer area into flash.
  void CommitImage(const ImageSlot& slot);

  bool operator==(const SensorMemory&) const = default;
};

// 16-bit little-endian word `index` of a byte image.
std::uint16_t WordAt(std::span<const std::uint8_t> bytes, std::size_t index);
void SetWordAt(std::span<std::uint8_t> bytes, std::size_t index, std::uint16_t value);

// A parameter set as the sensor sends it and the state file keeps it: its
// words little-endian, kParamSetBytes bytes.
std::vector<std::uint8_t> ParamSetBytes(const ParamSet& set);

}  // namespace zema::sim
