// Draws from a seeded generator, for the soaks' runs and cycles.
#pragma once

#include <random>

namespace zema::bench {

inline int Between(std::mt19937_64& random, int low, int high) {
  return std::uniform_int_distribution<int>(low, high)(random);
}

inline bool Chance(std::mt19937_64& random, double p) {
  return std::uniform_real_distribution<double>(0.0, 1.0)(random) < p;
}

}  // namespace zema::bench
