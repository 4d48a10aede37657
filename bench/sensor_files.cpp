#include "bench/sensor_files.h"

#include <array>
#include <span>

#include "link/commands.h"
#include "transfer/compensation_image.h"
#include "transfer/file_naming.h"
#include "transfer/image_file.h"
#include "transfer/parameter_file.h"
#include "transfer/pattern_image.h"

namespace zema::bench {
namespace {

using Block = std::span<const std::uint8_t, kBlockBytes>;

Block BlockOf(const std::vector<std::uint8_t>& image, int index) {
  return Block(image.data() + static_cast<std::size_t>(index) * kBlockBytes, kBlockBytes);
}

void AppendCompensation(const sim::SensorMemory& memory, std::vector<std::uint8_t>& file) {
  std::array<std::uint8_t, kMaxCompensationFileBytesPerBlock> bytes{};
  for (int block = kCompensationFirstBlock; block <= kCompensationLastBlock; ++block) {
    const std::size_t n = CompensationToFile(
        block, BlockOf(memory.compensation, block - kCompensationFirstBlock), bytes);
    file.insert(file.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
  }
}

void AppendPattern(const sim::SensorMemory& memory, int bank, std::vector<std::uint8_t>& file) {
  std::array<std::uint8_t, kMaxPatternFileBytesPerBlock> bytes{};
  for (int section = 0; section < sim::kPatternSections; ++section) {
    const auto& image =
        memory.patterns[static_cast<std::size_t>(bank)][static_cast<std::size_t>(section)];
    for (int block = 0; block < PatternSectionBlocks(section); ++block) {
      const std::size_t n = PatternToFile(block, BlockOf(image, block), bytes);
      file.insert(file.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    }
  }
}

}  // namespace

std::vector<SensorItem> SelectedItems(bool params, bool common, bool compensation, bool patterns,
                                      int firstBank, int lastBank) {
  std::vector<SensorItem> items;
  for (int bank = firstBank; params && bank <= lastBank; ++bank) items.push_back({bank, false});
  if (common) items.push_back({kCommonSlot, false});
  if (compensation) items.push_back({kCommonSlot, true});
  for (int bank = firstBank; patterns && bank <= lastBank; ++bank) items.push_back({bank, true});
  return items;
}

std::string ItemPath(const std::string& base, const SensorItem& item) {
  return base + FileSuffix(item.slot, item.image);
}

std::vector<std::uint8_t> ItemFileBytes(const sim::SensorMemory& memory, const SensorItem& item) {
  if (!item.image) {
    const std::string text = FormatParamFile(memory.params[static_cast<std::size_t>(item.slot)]);
    return {text.begin(), text.end()};
  }
  std::vector<std::uint8_t> file(ImageFileHeader.begin(), ImageFileHeader.end());
  if (item.slot == kCommonSlot) {
    AppendCompensation(memory, file);
  } else {
    AppendPattern(memory, item.slot, file);
  }
  return file;
}

}  // namespace zema::bench
