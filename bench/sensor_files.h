// The files a READ makes of what a virtual sensor holds, worked out from
// its memory with the file formats' own conversions: what a soak run's
// files are checked against, and how it prepares the files a WRITE sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sensor_memory.h"

namespace zema::bench {

// One file of a run: a parameter set (slot 0 to 14, 15 the common set) or
// an image (slot 0 to 14 a bank's pattern, 15 the compensation table).
struct SensorItem {
  int slot = 0;
  bool image = false;
  bool operator==(const SensorItem&) const = default;
};

// The items of a selection, in the order a run visits them.
std::vector<SensorItem> SelectedItems(bool params, bool common, bool compensation, bool patterns,
                                      int firstBank, int lastBank);

std::string ItemPath(const std::string& base, const SensorItem& item);

// The bytes a READ writes for `item` of a sensor holding `memory`.
std::vector<std::uint8_t> ItemFileBytes(const sim::SensorMemory& memory, const SensorItem& item);

}  // namespace zema::bench
