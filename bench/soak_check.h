// The promise a soak run is held to, checked from outside after it ended:
// a finished run's files equal the sensor (READ) or the sensor equals its
// files (WRITE, comparison); a failed or stopped one leaves no temporary
// file, every older file as it was or replaced whole, and names its cause;
// no run outlasts its time-outs, crashes or trips a sanitizer.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "bench/soak_plan.h"
#include "bench/soak_scene.h"
#include "sim/sensor_memory.h"

namespace zema::bench {

struct SoakOutcome {
  int status = -1;  // exit status; -1 when a signal ended it
  int signal = 0;
  bool overran = false;  // killed at its hard limit
  std::string out, err;
  std::chrono::nanoseconds wall{};
  std::chrono::nanoseconds allowed{};
  bool simClean = false;  // zema-sim ended cleanly and said nothing of a sanitizer
  std::string simLog;
  std::string sensorDevice;  // its terminal
  bool sensorRead = false;
  sim::SensorMemory sensorAfter;
  FolderFiles filesAfter;
  int compareStatus = -1;  // the comparison after a finished WRITE; -1: none made
  std::string compareErr;
};

// What the run did wrong; empty when it kept the promise.
std::vector<std::string> CheckPromise(const SoakPlan& plan, const SoakScene& scene,
                                      const SoakOutcome& outcome);

// Whether a finished WRITE is to be compared by a second zema-transfer run.
bool WantsComparison(const SoakPlan& plan, const SoakScene& scene, const SoakOutcome& outcome);

}  // namespace zema::bench
