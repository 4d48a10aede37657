#include "tests/support/program_state_reset.h"

#include <gtest/gtest.h>

#include <cstring>

#include "console/connection_control.h"
#include "link/packet.h"
#include "res/messages.h"
#include "transfer/run_state.h"
#include "transfer/transfer_target.h"

namespace {

class ResetListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { ResetProgramState(); }
};

}  // namespace

void ResetProgramState() {
  SetLanguage(Language::English);
  g_lastError.clear();
  g_lastErrorMessage = 0;
  g_lastErrorDetail.clear();
  std::memset(g_xfer, 0, sizeof g_xfer);
  g_cancelState = kCancelNone;
  g_filePath[0] = '\0';
  g_portNo = 0;
  g_transferTarget = TransferTarget{};
}

void ResetProgramStateBeforeEachTest() {
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetListener);
}
