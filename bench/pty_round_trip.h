// What the machine itself adds to every exchange over a pseudo-terminal:
// two processes that each wake up once per round trip, as a program and a
// virtual sensor do, with nothing else in between.
//
// Each round trip starts after a pause as long as one block on the wire,
// so that the processor is as idle before a wake-up as during a paced run
// (an idle virtual processor wakes up more slowly than a busy one).
#pragma once

#include <chrono>
#include <string>

namespace zema::bench {

struct RoundTrips {
  int count = 0;
  std::chrono::nanoseconds mean{}, median{}, p99{}, max{};
};

// One byte there and back, `count` times, each after `pause`. false with
// `error` set when the terminal or the process cannot be made.
bool MeasurePtyRoundTrips(int count, std::chrono::nanoseconds pause, RoundTrips& result,
                          std::string& error);

}  // namespace zema::bench
