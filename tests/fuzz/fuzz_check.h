// A property a fuzz target checks. When it does not hold, the input is a
// finding: the program aborts and libFuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_REQUIRE(condition)                                                    \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__,     \
                   #condition);                                                    \
      std::abort();                                                                \
    }                                                                              \
  } while (false)
