// What a soak run starts from, drawn from its seed: the sensor's memory
// and the files in the run's folder (older files a READ must keep or
// replace whole, the files a WRITE sends, one of another base name that no
// run may touch), and the outcome the run must have.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/sensor_files.h"
#include "bench/soak_plan.h"
#include "sim/sensor_memory.h"

namespace zema::bench {

using FolderFiles = std::map<std::string, std::vector<std::uint8_t>>;  // name: bytes

struct SoakScene {
  sim::SensorMemory sensor;
  // Files as they are before the run; a read-only folder's READ finds
  // every item's file there, or in a run without a fault now and then not.
  FolderFiles files;
  std::vector<SensorItem> items;  // the run's selection
  int expectedStatus = 0;
  int expectedMessage = 0;  // message number the output must name; 0: none
};

inline constexpr const char* kSoakBaseName = "line1";

SoakScene DrawScene(const SoakPlan& plan);

// The files of a folder by name (regular files only).
FolderFiles ReadFolder(const std::string& folder);
bool WriteFolder(const std::string& folder, const FolderFiles& files, std::string& error);

}  // namespace zema::bench
