#include "transfer/transfer_items.h"

#include "formats/compensation_image.h"
#include "formats/file_naming.h"

namespace {

constexpr std::uint64_t ExchangeBytes(const SensorCommand& command) {
  return static_cast<std::uint64_t>(command.WireBytes());
}

// 0x81 or 0x82 once.
constexpr std::uint64_t kParamSetBytesOnLine = ExchangeBytes(kCmdReadParamSet);
static_assert(kParamSetBytesOnLine == ExchangeBytes(kCmdWriteParamSet));

// One select (READ) or one flash commit (WRITE) per image, and its blocks.
constexpr std::uint64_t ImageBytes(int blocks) {
  return ExchangeBytes(kCmdSelectImage) +
         static_cast<std::uint64_t>(blocks) * ExchangeBytes(kCmdReadBlock);
}
static_assert(ExchangeBytes(kCmdReadBlock) == ExchangeBytes(kCmdWriteBlock));
static_assert(ExchangeBytes(kCmdSelectImage) == ExchangeBytes(kCmdFlashCommit));

constexpr std::uint64_t kCompensationBytes = ImageBytes(kCompensationBlocks);
constexpr std::uint64_t kPatternBytes =
    ImageBytes(kPatternSection0Blocks) + ImageBytes(kPatternSection1Blocks);

}  // namespace

TransferItems SelectedItems(const TransferTarget& target) {
  TransferItems items;
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (!BankInRange(target, bank)) continue;
    if (target.bankParams != 0) items.paramSlots.set(static_cast<std::size_t>(bank));
    if (target.patterns != 0) items.patternBanks.set(static_cast<std::size_t>(bank));
  }
  if (target.commonParams != 0) items.paramSlots.set(kCommonSlot);
  items.compensation = target.brightComp != 0;
  return items;
}

std::uint64_t WireBytes(const TransferItems& items) {
  return items.paramSlots.count() * kParamSetBytesOnLine +
         (items.compensation ? kCompensationBytes : 0) + items.patternBanks.count() * kPatternBytes;
}

std::vector<std::string> ItemFilePaths(const TransferItems& items, const std::string& baseName) {
  std::vector<std::string> paths;
  for (int slot = 0; slot <= kCommonSlot; ++slot) {
    if (items.paramSlots.test(static_cast<std::size_t>(slot))) {
      paths.push_back(baseName + FileSuffix(slot, false));
    }
  }
  if (items.compensation) paths.push_back(baseName + FileSuffix(kCommonSlot, true));
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (items.patternBanks.test(static_cast<std::size_t>(bank))) {
      paths.push_back(baseName + FileSuffix(bank, true));
    }
  }
  return paths;
}
