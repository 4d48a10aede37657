// How closely a dialog's paced READ of the compensation table follows the
// wire, from the virtual sensor's trace of the run (zema-sim --trace): from
// the table's selection (0x85, selector 2) to the reply of its last block,
// against the line time of those exchanges. The dialog pumps its window's
// events between two blocks; this shows what that costs the wire.
#pragma once

#include <chrono>
#include <string>

namespace zema::bench {

struct StepPace {
  int blocks = 0;                    // blocks read after the selection
  std::chrono::nanoseconds wall{};   // first byte of 0x85 to the last reply's last byte
  std::chrono::nanoseconds bound{};  // line time of the same exchanges

  double Ratio() const;
};

// False when the trace holds no whole compensation table.
bool CompensationStepPace(const std::string& traceFile, unsigned baud, StepPace& pace);

}  // namespace zema::bench
