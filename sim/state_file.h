// Keeps the virtual sensor's stored memory (parameter sets and flash images,
// not the transfer area) in a file between runs.
//
// The file is replaced atomically: the new content goes to a temporary file
// in the same folder, is flushed to disk and then renamed over the old one,
// so a simulator killed at any moment leaves either the old or the new file,
// never a damaged one. A trailing checksum lets loading tell a damaged or
// foreign file from a good one.
#pragma once

#include <string>

#include "sim/sensor_memory.h"

namespace zema::sim {

enum class StateLoadResult { kLoaded, kMissing, kDamaged };

// Fills `memory` from `path`. kMissing when there is no such file (memory
// untouched); kDamaged when the file cannot be read or is not a complete
// state file (memory untouched, `error` says why).
StateLoadResult LoadState(const std::string& path, SensorMemory& memory, std::string& error);

// Writes the memory to `path` as described above. false with `error` set
// when the file could not be written; an older file then stays as it was.
bool SaveState(const std::string& path, const SensorMemory& memory, std::string& error);

}  // namespace zema::sim
