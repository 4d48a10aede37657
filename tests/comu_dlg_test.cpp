// The progress dialog's handlers in a fake window, against the virtual
// sensor: the start timer, a whole run, CANCEL and the close box during a
// run, a failure and a refused overwrite.
#include "transfer/comu_dlg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "sim/demo_content.h"
#include "tests/support/fake_dialog_window.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/parameter_file.h"

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

  std::string Content(const char* suffix) const { return ReadFileBytes(target_.baseName + suffix); }
  void Put(const char* suffix, const std::string& text) const {
    WriteFileBytes(target_.baseName + suffix, text);
  }
  static std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + "\n";
    return text;
  }

  TempFolder dir_{"zema-comu"};
  TransferTarget target_;
  FakeOperatorScript script_;
  CComuDlg dialog_{sim.port(), target_};
  FakeDialogWindow window_{dialog_, script_};
};

TEST_F(ComuDlgTest, TheStartTimerRunsTheTransferOnceAndOkThenClosesTheDialog) {
  target_.commonParams = 1;
  window_.Open();
  EXPECT_TRUE(window_.TimerActive(CComuDlg::kStartTimerId));
  EXPECT_TRUE(sim.Commands().empty()) << "nothing before the timer";
  window_.FireTimer(CComuDlg::kStartTimerId);
  EXPECT_FALSE(window_.TimerActive(CComuDlg::kStartTimerId));
  EXPECT_EQ(dialog_.runEnd(), RunEnd::Finished);
  const std::size_t exchanges = sim.Commands().size();
  window_.FireTimer(CComuDlg::kStartTimerId);
  EXPECT_EQ(sim.Commands().size(), exchanges) << "one run per dialog";

  EXPECT_EQ(window_.ControlText(kCtlStepLine), "Reading from ZEMA is completed.");
  EXPECT_EQ(window_.progressHigh(), 512);
  EXPECT_EQ(window_.progressPosition(), 512);
  EXPECT_GT(window_.shown(), 0);
  EXPECT_FALSE(window_.IsControlEnabled(kCtlCancel));
  EXPECT_TRUE(window_.IsControlEnabled(kCtlOk));
  EXPECT_EQ(window_.focus(), kCtlOk);
  EXPECT_FALSE(window_.result().has_value()) << "the dialog waits for OK";
  EXPECT_TRUE(window_.Click(kCtlOk));
  EXPECT_EQ(window_.result(), kDialogResultOk);

  const zema::sim::SensorMemory memory = sim.Memory();
  EXPECT_EQ(Content(".pr2.zema"), FormatParamFile(memory.params[2]));
  EXPECT_EQ(Content(".pr4.zema"), FormatParamFile(memory.params[4]));
  EXPECT_EQ(Content(".prM.zema"), FormatParamFile(memory.params[15]));
  EXPECT_TRUE(script_.boxes.boxes.empty());
}

TEST_F(ComuDlgTest, WriteRunsEndToEnd) {
  Put(".pr2.zema", Lines(32, "12"));
  Put(".pr3.zema", Lines(32, "13"));
  Put(".pr4.zema", Lines(32, "14"));
  target_.direction = kDirectionWrite;
  EXPECT_EQ(window_.Run(), kDialogResultOk);
  EXPECT_EQ(window_.ControlText(kCtlStepLine), "Writing to ZEMA is completed.");
  const zema::sim::SensorMemory memory = sim.Memory();
  for (int bank : {2, 3, 4}) {
    for (std::uint16_t value : memory.params[bank]) EXPECT_EQ(value, 10 + bank);
  }
}

// CANCEL or the close box during the run only asks the run to stop: the
// dialog stays up, the run finishes with "Aborted." and OK closes it.
TEST_F(ComuDlgTest, CancelOrTheCloseBoxStopsTheRunAndKeepsTheDialogOpen) {
  Put(".pr2.zema", Lines(32, "12"));
  Put(".pr4.zema", Lines(32, "14"));  // bank 3 is missing
  target_.direction = kDirectionWrite;
  for (bool viaCloseBox : {false, true}) {
    SCOPED_TRACE(viaCloseBox ? "close box" : "CANCEL");
    CComuDlg dialog(sim.port(), target_);
    FakeDialogWindow window(dialog, script_);
    bool stillRunning = false;
    script_.boxes.whileAsking = [&](const ScriptedOperator::Box&) {
      if (viaCloseBox) {
        window.PressEsc();
      } else {
        window.Click(kCtlCancel);
      }
      stillRunning = dialog.isRunning() && !window.result();
    };
    // The question about bank 3 is answered No (skip it).
    EXPECT_EQ(window.Run(), kDialogResultOk);
    EXPECT_TRUE(stillRunning);
    EXPECT_EQ(dialog.runEnd(), RunEnd::Cancelled);
    EXPECT_EQ(window.ControlText(kCtlStepLine), "Aborted.");
    EXPECT_EQ(g_cancelState, kCancelNone);
    const zema::sim::SensorMemory memory = sim.Memory();
    EXPECT_EQ(memory.params[2][0], 12);
    EXPECT_EQ(memory.params[4][0], zema::sim::DemoParamValue(4, 0));
  }
}

TEST_F(ComuDlgTest, CancelDuringAPatternBankStopsAfterTheCurrentBlock) {
  target_.bankParams = 0;
  target_.patterns = 1;
  target_.startBank = 5;
  target_.endBank = 5;
  Put(".pt5.bmp", "older");
  script_.boxes.QueueAnswers({true});
  // The operator clicks CANCEL while the sensor is taking block 100 of
  // section 0 (command 102, after the selection): the click waits in the
  // queue until the poll after that block.
  sim.SetCommandHook([this](std::size_t number, std::span<const std::uint8_t>) {
    if (number == 102) window_.Post([this] { window_.Click(kCtlCancel); });
  });
  EXPECT_EQ(window_.Run(), kDialogResultOk);
  sim.SetCommandHook({});

  EXPECT_EQ(dialog_.runEnd(), RunEnd::Cancelled);
  EXPECT_EQ(window_.ControlText(kCtlStepLine), "Aborted.");
  EXPECT_EQ(window_.progressPosition(), 100 * 256 / 208);
  const auto commands = sim.Commands();
  ASSERT_EQ(commands.size(), 102u);
  EXPECT_EQ(commands.back()[0], 0x83);
  EXPECT_EQ(commands.back()[1], 100);
  // No half-written bitmap: the older file stays, and nothing else is left.
  EXPECT_EQ(Content(".pt5.bmp"), "older");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(ComuDlgTest, AFailureShowsTheErrorBoxAndEndsTheDialog) {
  target_.baseName = (dir_ / "missing" / "base").string();
  EXPECT_EQ(window_.Run(), kRunResultFailed);
  ASSERT_EQ(script_.boxes.boxes.size(), 1u);
  EXPECT_EQ(script_.boxes.boxes[0].text, "Failed to create the file.");
  EXPECT_EQ(script_.boxes.boxes[0].caption, "Error");
  EXPECT_EQ(dialog_.runEnd(), RunEnd::Failed);
  EXPECT_FALSE(window_.IsControlEnabled(kCtlOk));
}

TEST_F(ComuDlgTest, ARefusedOverwriteClosesTheDialogWithoutAText) {
  Put(".pr3.zema", "old\n");
  script_.boxes.QueueAnswers({false});
  script_.whenWaiting = [](FakeDialogWindow&) { return false; };  // no OK click
  EXPECT_EQ(window_.Run(), kRunResultOk);
  EXPECT_EQ(dialog_.runEnd(), RunEnd::OverwriteRefused);
  EXPECT_EQ(script_.boxes.boxes.size(), 1u);
  EXPECT_EQ(Content(".pr3.zema"), "old\n");
  EXPECT_TRUE(fs::exists(target_.baseName + ".pr2.zema"));
}

}  // namespace
