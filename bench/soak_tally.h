// The soak's counts, and its one table: runs, faults by kind, outcomes,
// violations, and the slowest run against the time it was allowed.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <string>

#include "bench/result_table.h"
#include "bench/soak_plan.h"
#include "bench/soak_runner.h"

namespace zema::bench {

class SoakTally {
 public:
  void Add(const SoakPlan& plan, const SoakOutcome& outcome, bool kept);

  long long runs() const { return runs_; }
  long long violations() const { return violations_; }
  ResultTable Table(std::chrono::nanoseconds wall, std::uint64_t seed, int jobs) const;

 private:
  struct Slowest {
    std::chrono::nanoseconds wall{-1};
    std::chrono::nanoseconds allowed{};
    std::string plan;
    std::uint64_t seed = 0;
  };

  long long runs_ = 0;
  long long violations_ = 0;
  std::array<long long, 4> commands_{};
  long long commandMode_ = 0;
  long long readOnlyFolder_ = 0;
  std::array<long long, kSoakFaultKinds> faults_{};
  std::map<std::string, long long> outcomes_;
  long long compared_ = 0;
  Slowest slowest_;       // by wall time
  Slowest nearestLimit_;  // by its share of the allowed time
};

}  // namespace zema::bench
