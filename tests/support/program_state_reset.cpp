#include "tests/support/program_state_reset.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "console/connection_control.h"
#include "link/packet.h"
#include "res/messages.h"
#include "transfer/run_state.h"
#include "transfer/transfer_target.h"

namespace {

// The runs of a test process, and of the programs it starts, log into a
// folder of its own (removed at its end), never into the user's transfer
// log.
void KeepTransferLogsInATestFolder() {
  // Never destroyed: the exit handler that removes it runs after the
  // destructors of statics made before it.
  static const std::string* folder = [] {
    auto* name = new std::string(
        (std::filesystem::temp_directory_path() / "zema-test-state-XXXXXX").string());
    if (::mkdtemp(name->data()) == nullptr) *name = "/nonexistent";
    std::atexit([] { std::filesystem::remove_all(*folder); });
    return name;
  }();
  ::setenv("XDG_STATE_HOME", folder->c_str(), 1);
}

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
  KeepTransferLogsInATestFolder();
  ::testing::UnitTest::GetInstance()->listeners().Append(new ResetListener);
}
