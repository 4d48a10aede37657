// Entry point of the core tests.
#include <gtest/gtest.h>

#include "res/messages.h"
#include "tests/support/private_transfer_log.h"

using namespace zema;

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  KeepTransferLogsInATestFolder();
  // Set once, as a program sets it at its start; a test that shows another
  // language puts English back.
  SetLanguage(Language::English);
  return RUN_ALL_TESTS();
}
