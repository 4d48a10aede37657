// Entry point of the core tests.
#include <gtest/gtest.h>

#include "tests/support/program_state_reset.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ResetProgramStateBeforeEachTest();
  return RUN_ALL_TESTS();
}
