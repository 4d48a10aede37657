// Keeps the virtual sensor's stored memory (parameter sets and flash images,
// not the transfer area) in a file between runs.
//
// What is kept is the state file plus its journal (state_journal.h): the
// file holds the whole memory, the journal the items stored since the file
// was last written. The file is replaced atomically: the new content goes
// to a temporary file in the same folder, is flushed to disk and then
// renamed over the old one, so a simulator killed at any moment leaves
// either the old or the new file, never a damaged one. A trailing checksum
// lets loading tell a damaged or foreign file from a good one.
//
// Every state file belongs to a lineage, a random number chosen when it is
// first written, and names the last stored item it holds by its sequence
// number. Journal records carry both, so that loading applies exactly the
// records the file does not hold yet, and never the records of a journal
// left beside some other state file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/sensor_memory.h"

namespace zema::sim {

struct StateVersion {
  std::uint64_t lineage = 0;   // 0: a file of the first format, without one
  std::uint64_t sequence = 0;  // last stored item the memory holds
};

// A lineage for a state file written anew (never 0).
std::uint64_t NewLineage();

enum class StateLoadResult { kLoaded, kMissing, kDamaged };

// Fills `memory` from `path` and its journal. kMissing when there is no
// such file (memory untouched; a journal without its file is not used);
// kDamaged when the file or its journal cannot be read or is damaged
// (memory untouched, `error` says why). `version`, when given, receives the
// lineage and the last stored item of what was loaded.
StateLoadResult LoadState(const std::string& path, SensorMemory& memory, std::string& error,
                          StateVersion* version = nullptr);

// Writes the memory to `path` as a state file of a new lineage, as
// described above. false with `error` set when the file could not be
// written; an older file then stays as it was.
bool SaveState(const std::string& path, const SensorMemory& memory, std::string& error);

// The same for memory already laid out as the file's body, with the
// version it holds.
bool SaveStateBody(const std::string& path, std::span<const std::uint8_t> body,
                   const StateVersion& version, std::string& error);

// The stored memory as the file lays it out: parameter sets (32
// little-endian words each), compensation table, pattern sections.
std::vector<std::uint8_t> StateBody(const SensorMemory& memory);

// One stored item as the body holds it: where, and its bytes.
struct StoredItem {
  std::size_t offset = 0;
  std::vector<std::uint8_t> bytes;
};
StoredItem StoredParamSet(const SensorMemory& memory, int set);
StoredItem StoredImage(const SensorMemory& memory, const ImageSlot& slot);

}  // namespace zema::sim
