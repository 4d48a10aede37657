#include "support/sensor_files.h"

#include <array>
#include <span>

#include "formats/compensation_image.h"
#include "formats/file_naming.h"
#include "formats/image_file.h"
#include "formats/parameter_file.h"
#include "formats/pattern_image.h"
#include "link/commands.h"

namespace {

using zema::sim::SensorMemory;
using Block = std::span<const std::uint8_t, kBlockBytes>;

Block BlockOf(const std::vector<std::uint8_t>& image, int index) {
  return Block(image.data() + static_cast<std::size_t>(index) * kBlockBytes, kBlockBytes);
}

template <std::size_t N>
void Append(std::string& file, const std::array<std::uint8_t, N>& bytes, std::size_t count) {
  file.append(reinterpret_cast<const char*>(bytes.data()), count);
}

std::string ImageFile() { return std::string(ImageFileHeader.begin(), ImageFileHeader.end()); }

std::string CompensationFile(const SensorMemory& memory) {
  std::string file = ImageFile();
  std::array<std::uint8_t, kMaxCompensationFileBytesPerBlock> bytes{};
  for (int block = kCompensationFirstBlock; block <= kCompensationLastBlock; ++block) {
    Append(file, bytes,
           CompensationToFile(block, BlockOf(memory.compensation, block - kCompensationFirstBlock),
                              bytes));
  }
  return file;
}

std::string PatternFile(const SensorMemory& memory, int bank) {
  std::string file = ImageFile();
  std::array<std::uint8_t, kMaxPatternFileBytesPerBlock> bytes{};
  for (int section = 0; section < zema::sim::kPatternSections; ++section) {
    const auto& image =
        memory.patterns[static_cast<std::size_t>(bank)][static_cast<std::size_t>(section)];
    for (int block = 0; block < PatternSectionBlocks(section); ++block) {
      Append(file, bytes, PatternToFile(block, BlockOf(image, block), bytes));
    }
  }
  return file;
}

}  // namespace

FolderFiles SensorFiles(const SensorMemory& memory, const TransferItems& items,
                        const std::string& baseName) {
  FolderFiles files;
  for (int slot = 0; slot <= kCommonSlot; ++slot) {
    if (items.paramSlots.test(static_cast<std::size_t>(slot))) {
      files[baseName + FileSuffix(slot, false)] =
          FormatParamFile(memory.params[static_cast<std::size_t>(slot)]);
    }
  }
  if (items.compensation) {
    files[baseName + FileSuffix(kCommonSlot, true)] = CompensationFile(memory);
  }
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (items.patternBanks.test(static_cast<std::size_t>(bank))) {
      files[baseName + FileSuffix(bank, true)] = PatternFile(memory, bank);
    }
  }
  return files;
}
