// The files a READ makes of what a virtual sensor holds, worked out from
// its memory with the file formats' own conversions: what a run's files are
// checked against, and how the files a WRITE sends are prepared.
#pragma once

#include <string>

#include "sim/sensor_memory.h"
#include "support/file_bytes.h"
#include "transfer/transfer_items.h"

namespace zema {

// The files of `items` with `baseName` (by the run's own paths,
// ItemFilePaths) and the bytes a READ writes there of a sensor holding
// `memory`.
FolderFiles SensorFiles(const zema::sim::SensorMemory& memory, const TransferItems& items,
                        const std::string& baseName);

}  // namespace zema
