// What a soak run starts from, drawn from its seed: the sensor's memory
// and the files in the run's folder (older files a READ must keep or
// replace whole, the files a WRITE sends, one of another base name that no
// run may touch), and the outcome the run must have.
#pragma once

#include "bench/soak_plan.h"
#include "sim/sensor_memory.h"
#include "support/file_bytes.h"
#include "transfer/transfer_items.h"

namespace zema::bench {

struct SoakScene {
  sim::SensorMemory sensor;
  // Files as they are before the run; a read-only folder's READ finds
  // every item's file there, or in a run without a fault now and then not.
  FolderFiles files;
  TransferItems items;  // the run's selection
  int expectedStatus = 0;
  int expectedMessage = 0;  // message number the output must name; 0: none
};

inline constexpr const char* kSoakBaseName = "line1";

SoakScene DrawScene(const SoakPlan& plan);

}  // namespace zema::bench
