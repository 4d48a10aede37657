// Carries out one soak run: lays out its folder and the sensor's state
// file, starts zema-sim with the run's fault, runs zema-transfer against it
// with a hard time limit, and reads back the folder and what the sensor
// then holds (and compares a finished WRITE with a second run); then holds
// it to the promise every run keeps (support/run_promise.h).
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "bench/soak_plan.h"
#include "bench/soak_scene.h"
#include "support/run_promise.h"

namespace zema::bench {

struct SoakSetup {
  std::string binFolder;   // zema-transfer and zema-sim
  std::string workFolder;  // one folder per worker inside
  // Beyond its faulty exchange's wait, what a run may take: starting the
  // program, connecting, the unpaced transfer, on a busy machine or under
  // the sanitizers.
  std::chrono::milliseconds slack{5000};
};

struct SoakOutcome {
  RunSeen seen;
  std::chrono::nanoseconds allowed{};
  bool simClean = false;  // zema-sim ended cleanly and said nothing of a sanitizer
  std::string simLog;
  int compareStatus = -1;  // the comparison after a finished WRITE; -1: none made
  std::string compareErr;
};

// false with `error` when the run could not be carried out at all (a
// program did not start): that is the soak's trouble, not the run's.
bool CarryOut(const SoakSetup& setup, int worker, const SoakPlan& plan, const SoakScene& scene,
              SoakOutcome& outcome, std::string& error);

// What the run did wrong; empty when it kept the promise.
std::vector<std::string> CheckPromise(const SoakPlan& plan, const SoakScene& scene,
                                      const SoakOutcome& outcome);

}  // namespace zema::bench
