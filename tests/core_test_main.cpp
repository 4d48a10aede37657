// Entry point of the core tests.
#include <gtest/gtest.h>

#include "res/messages.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Set once, as a program sets it at its start; a test that shows another
  // language puts English back.
  SetLanguage(Language::English);
  return RUN_ALL_TESTS();
}
