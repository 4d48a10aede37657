#include "sim/sensor_memory.h"

#include <algorithm>

namespace zema::sim {

std::optional<ImageSlot> ImageForSelector(int selector) {
  if (selector == kCompensationSelector) {
    return ImageSlot{ImageSlot::Kind::kCompensation, 0, 0, kCompensationFirstBlock,
                     kCompensationBlocks};
  }
  const auto place = PatternForSelector(selector);
  if (!place) return std::nullopt;
  return ImageSlot{ImageSlot::Kind::kPattern, place->bank, place->section, 0,
                   place->section == 0 ? kPatternSection0Blocks : kPatternSection1Blocks};
}

SensorMemory::SensorMemory()
    : compensation(static_cast<std::size_t>(kCompensationBlocks) * kBlockBytes),
      transferArea(static_cast<std::size_t>(kTransferAreaBlocks) * kBlockBytes) {
  for (auto& bank : patterns) {
    bank[0].resize(static_cast<std::size_t>(kPatternSection0Blocks) * kBlockBytes);
    bank[1].resize(static_cast<std::size_t>(kPatternSection1Blocks) * kBlockBytes);
  }
}

std::span<std::uint8_t> SensorMemory::FlashImage(const ImageSlot& slot) {
  if (slot.kind == ImageSlot::Kind::kCompensation) return compensation;
  return patterns.at(static_cast<std::size_t>(slot.bank))
      .at(static_cast<std::size_t>(slot.section));
}

std::span<const std::uint8_t> SensorMemory::FlashImage(const ImageSlot& slot) const {
  return const_cast<SensorMemory*>(this)->FlashImage(slot);
}

std::span<std::uint8_t> SensorMemory::TransferBlock(int block) {
  return std::span<std::uint8_t>(transferArea)
      .subspan(static_cast<std::size_t>(block) * kBlockBytes, kBlockBytes);
}

std::span<const std::uint8_t> SensorMemory::TransferBlock(int block) const {
  return const_cast<SensorMemory*>(this)->TransferBlock(block);
}

void SensorMemory::LoadImage(const ImageSlot& slot) {
  const auto image = FlashImage(slot);
  auto area = std::span<std::uint8_t>(transferArea)
                  .subspan(static_cast<std::size_t>(slot.firstBlock) * kBlockBytes,
                           image.size());
  std::copy(image.begin(), image.end(), area.begin());
}

void SensorMemory::CommitImage(const ImageSlot& slot) {
  auto image = FlashImage(slot);
  const auto area = std::span<const std::uint8_t>(transferArea)
                        .subspan(static_cast<std::size_t>(slot.firstBlock) * kBlockBytes,
                                 image.size());
  std::copy(area.begin(), area.end(), image.begin());
}

std::uint16_t WordAt(std::span<const std::uint8_t> bytes, std::size_t index) {
  return static_cast<std::uint16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
}

void SetWordAt(std::span<std::uint8_t> bytes, std::size_t index, std::uint16_t value) {
  bytes[2 * index] = static_cast<std::uint8_t>(value & 0xFF);
  bytes[2 * index + 1] = static_cast<std::uint8_t>(value >> 8);
}

std::vector<std::uint8_t> ParamSetBytes(const ParamSet& set) {
  std::vector<std::uint8_t> bytes(kParamSetBytes);
  for (std::size_t i = 0; i < set.size(); ++i) SetWordAt(bytes, i, set[i]);
  return bytes;
}

}  // namespace zema::sim
