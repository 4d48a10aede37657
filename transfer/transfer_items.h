// The items of a run as a set: which parameter slots, whether the
// compensation table, which pattern banks. A run's target selects them; a
// WRITE run records those it wrote, so that they can be read back.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "link/commands.h"
#include "transfer/transfer_target.h"

namespace zema {

struct TransferItems {
  std::bitset<kCommonSlot + 1> paramSlots;  // 0..14 banks, 15 the common set
  bool compensation = false;
  std::bitset<kBankCount> patternBanks;

  bool empty() const { return paramSlots.none() && !compensation && patternBanks.none(); }
  bool operator==(const TransferItems&) const = default;
};

// What a run with this target transfers, by the run's own rules (an empty
// bank range holds no bank).
TransferItems SelectedItems(const TransferTarget& target);

// Bytes on the line, both directions, to move these items: command frames
// and replies. READ and WRITE move the same number; comparing moves what a
// READ does.
std::uint64_t WireBytes(const TransferItems& items);

// The files of these items for `baseName`, in the order a run handles them.
std::vector<std::string> ItemFilePaths(const TransferItems& items, const std::string& baseName);

}  // namespace zema
