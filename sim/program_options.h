// Command line of the zema-sim program.
#pragma once

#include <string>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/virtual_sensor.h"

namespace zema::sim {

struct ProgramOptions {
  ConnectionMode mode = ConnectionMode::kMenu;
  int communic = 5;
  std::string linkPath;
  std::string stateFile;
  bool pacing = true;
  int flashDelayMs = kDefaultFlashDelayMs;
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
