// The promise a zema-transfer run is held to, checked from outside once it
// has ended: it ends with the status and the message its situation calls
// for, within its time, without a crash or a sanitizer report; a finished
// READ's files equal what the sensor holds, a finished WRITE leaves the
// sensor holding its files; a failed or stopped run leaves no temporary or
// other new file and every older file as it was or (a READ's item)
// replaced whole by the sensor's; no other file changes.
//
// The soak (bench/) holds thousands of random runs to it, the fault matrix
// (tests/) every fault of every command.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "sim/sensor_memory.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "transfer/transfer_items.h"

namespace zema {

struct RunPromise {
  // What the run may change: a READ its items' files, a WRITE the sensor,
  // a comparison or a resume neither.
  enum class Changes { kFiles, kSensor, kNothing };
  Changes changes = Changes::kNothing;
  TransferItems items;
  std::string base;  // the items' base name, as the folder's file names begin
  FolderFiles filesBefore;
  // What the sensor held before; none: the sensor is not checked.
  std::optional<zema::sim::SensorMemory> sensorBefore;
  int status = 0;
  int message = 0;      // the message its output must name; 0: none
  bool hangUp = false;  // the line hung up: the output names the device under the message
  std::chrono::nanoseconds allowed{};
};

struct RunSeen {
  ProgramOutcome program;
  std::chrono::nanoseconds waited{};  // what counts against the allowed time
  FolderFiles filesAfter;
  // What the sensor holds now; none when it could not be read back.
  std::optional<zema::sim::SensorMemory> sensorAfter;
  std::string sensorDevice;  // the sensor's terminal
};

// What the run did wrong; empty when it kept the promise.
std::vector<std::string> BrokenPromises(const RunPromise& promise, const RunSeen& seen);

}  // namespace zema
