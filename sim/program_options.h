// Command line of the zema-sim program.
#pragma once

#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/virtual_sensor.h"

namespace zema::sim {

struct ProgramOptions {
  // A program run paces its replies unless --no-pace says otherwise.
  ProgramOptions() { sensor.pacing = true; }

  // Mode, COMMUNIC, pacing, flash delay, state file.
  SensorSettings sensor;
  std::string linkPath;
  FaultPlan faults;
  bool trace = false;
};

enum class ParseOutcome { kRun, kHelp, kError };

// Reads the arguments after the program name. kError with `error` set for
// anything not understood.
ParseOutcome ParseProgramOptions(const std::vector<std::string>& arguments,
                                 ProgramOptions& options, std::string& error);

std::string HelpText();

}  // namespace zema::sim
