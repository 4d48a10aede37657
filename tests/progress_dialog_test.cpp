// The progress dialog's handlers in a fake window, against the virtual
// sensor: the start timer, OK, CANCEL and the close box during a run, and
// the runs that end the dialog themselves.
#include "transfer/progress_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialog_window.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class ComuDlgTest : public SimPortTest {
 protected:
  void SetUp() override {
    SimPortTest::SetUp();
    target_.baseName = (dir_ / "base").string();
    target_.bankParams = 1;
    target_.startBank = 2;
    target_.endBank = 4;
  }

  TempFolder dir_{"zema-comu"};
  TransferTarget target_;
  FakeOperatorScript script_;
};

TEST_F(ComuDlgTest, TheStartTimerRunsTheTransferOnceAndOkThenClosesTheDialog) {
  CComuDlg dialog(link, target_);
  FakeDialogWindow window(dialog, script_);
  window.Open();
  EXPECT_TRUE(window.TimerActive(CComuDlg::kStartTimerId));
  EXPECT_TRUE(sim.Commands().empty()) << "nothing before the timer";
  window.FireTimer(CComuDlg::kStartTimerId);
  EXPECT_FALSE(window.TimerActive(CComuDlg::kStartTimerId));
  EXPECT_EQ(dialog.runEnd(), RunEnd::Finished);
  const std::size_t exchanges = sim.Commands().size();
  window.FireTimer(CComuDlg::kStartTimerId);
  EXPECT_EQ(sim.Commands().size(), exchanges) << "one run per dialog";

  EXPECT_EQ(window.ControlText(kCtlStepLine), "Reading from ZEMA is completed.");
  EXPECT_EQ(window.progressHigh(), 512);
  EXPECT_EQ(window.progressPosition(), 512);
  EXPECT_GT(window.shown(), 0);
  EXPECT_FALSE(window.IsControlEnabled(kCtlCancel));
  EXPECT_TRUE(window.IsControlEnabled(kCtlOk));
  EXPECT_EQ(window.focus(), kCtlOk);
  EXPECT_FALSE(window.result().has_value()) << "the dialog waits for OK";
  EXPECT_TRUE(window.Click(kCtlOk));
  EXPECT_EQ(window.result(), kDialogResultOk);
  EXPECT_TRUE(script_.boxes.boxes.empty());
}

// CANCEL or the close box during a run only asks it to stop: the click
// waits in the queue until the cancel poll after the current block lets it
// through, the dialog stays up, the run finishes with "Aborted." and OK
// closes it.
TEST_F(ComuDlgTest, CancelOrTheCloseBoxStopsTheRunAfterTheCurrentBlock) {
  target_.bankParams = 0;
  target_.patterns = 1;
  target_.startBank = 5;
  target_.endBank = 5;
  for (bool viaCloseBox : {false, true}) {
    SCOPED_TRACE(viaCloseBox ? "close box" : "CANCEL");
    CComuDlg dialog(link, target_);
    FakeDialogWindow window(dialog, script_);
    bool stillRunning = false;
    // While the sensor takes block 100 of section 0 (command 102, after the
    // selection).
    sim.ClearCommands();
    sim.SetCommandHook([&](std::size_t number, std::span<const std::uint8_t>) {
      if (number != 102) return;
      window.Post([&] {
        viaCloseBox ? window.PressEsc() : void(window.Click(kCtlCancel));
        stillRunning = dialog.isRunning() && !window.result();
      });
    });
    EXPECT_EQ(window.Run(), kDialogResultOk);
    sim.SetCommandHook({});
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(dialog.runEnd(), RunEnd::Cancelled);
    EXPECT_EQ(window.ControlText(kCtlStepLine), "Aborted.");
    EXPECT_EQ(window.progressPosition(), 100 * 256 / 208);
    ASSERT_TRUE(dialog.run().has_value());
    EXPECT_EQ(dialog.run()->cancelState, kCancelNone);
    const auto commands = sim.Commands();
    ASSERT_EQ(commands.size(), 102u);
    EXPECT_EQ(commands.back()[1], 100);
  }
}

// A run that fails, or whose overwrite question is answered No, ends the
// dialog itself: no OK is clicked.
TEST_F(ComuDlgTest, AFailureOrARefusedOverwriteEndsTheDialogItself) {
  const std::string older = target_.baseName + ".pr3.zema";
  WriteFileBytes(older, "old\n");
  const struct {
    std::string baseName;
    RunEnd end;
    int result;
    const char* box;
  } kEnds[] = {
      {(dir_ / "missing" / "base").string(), RunEnd::Failed, kRunResultFailed,
       "Failed to create the file."},
      {target_.baseName, RunEnd::OverwriteRefused, kRunResultOk,
       "Found same filename. Do you overwrite?"},
  };
  script_.whenWaiting = [](FakeDialogWindow&) { return false; };
  for (const auto& end : kEnds) {
    SCOPED_TRACE(end.box);
    target_.baseName = end.baseName;
    script_.boxes.boxes.clear();
    script_.boxes.QueueAnswers({false});
    CComuDlg dialog(link, target_);
    FakeDialogWindow window(dialog, script_);
    EXPECT_EQ(window.Run(), end.result);
    EXPECT_EQ(dialog.runEnd(), end.end);
    ASSERT_EQ(script_.boxes.boxes.size(), 1u);
    EXPECT_EQ(script_.boxes.boxes[0].text, end.box);
  }
  EXPECT_EQ(ReadFileBytes(older), "old\n");
}

}  // namespace
