// The progress dialog end to end on the offscreen platform, against the
// virtual sensor.
#include "transfer/comu_dlg.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/parameter_file.h"

namespace fs = std::filesystem;

namespace {

// Answers questions through a callback, so a test can act on the dialog
// while the run waits for the operator.
class CallbackOperator : public OperatorDialogs {
 public:
  std::function<bool(const std::string&)> onQuestion;
  ScriptedOperator record;

  using OperatorDialogs::ShowError;
  bool AskYesNo(int question, const std::string& text, const std::string& caption,
                BoxIcon icon) override {
    record.boxes.push_back({text, caption, icon, true, question, {}});
    return onQuestion ? onQuestion(text) : false;
  }
  void ShowError(const std::string& text, const std::string& detail) override {
    record.ShowError(text, detail);
  }
};

class ComuDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_.baseName = (dir_ / "base").string();
    target_.bankParams = 1;
    target_.startBank = 2;
    target_.endBank = 4;
    ASSERT_EQ(ComOpen(sim_.port(), 512, 512), kOpenOk);
    ASSERT_EQ(ComSetMode(sim_.port(), kLineMode57600NoParity), kComOk);
  }
  void TearDown() override { ComClose(sim_.port()); }

  // Runs the dialog modally. Once the run has finished, `atFinish` looks at
  // the dialog and OK is clicked; a dialog that ends itself needs no click.
  // A run that hangs is ended after a generous limit with result -1.
  int Exec(CComuDlg& dialog, const std::function<void()>& atFinish = {}) {
    QTimer poll;
    int ticks = 0;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (++ticks > 3000) {
        dialog.done(-1);
        return;
      }
      auto* ok = dialog.ControlAs<QPushButton>(kCtlOk);
      if (dialog.runEnd() && !dialog.isRunning() && ok->isEnabled() && dialog.isVisible()) {
        poll.stop();
        if (atFinish) atFinish();
        ok->click();
      }
    });
    poll.start(10);
    return dialog.exec();
  }
  std::string Text(CComuDlg& dialog, int id) const {
    return dialog.ControlAs<QLabel>(id)->text().toStdString();
  }
  std::string Content(const char* suffix) const {
    return ReadFileBytes(target_.baseName + suffix);
  }
  void Put(const char* suffix, const std::string& text) const {
    WriteFileBytes(target_.baseName + suffix, text);
  }
  static std::string Lines(int count, const std::string& line) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + "\n";
    return text;
  }

  SimFixture sim_;
  TempFolder dir_{"zema-comu"};
  TransferTarget target_;
  ScriptedOperator operator_;
};

TEST_F(ComuDlgTest, ReadRunsEndToEndAndOkClosesTheDialog) {
  target_.commonParams = 1;
  CComuDlg dialog(sim_.port(), target_, &operator_);
  std::string stepLine;
  int bar = -1;
  bool cancelEnabled = true;
  const int result = Exec(dialog, [&] {
    stepLine = Text(dialog, kCtlStepLine);
    bar = dialog.ControlAs<QProgressBar>(kCtlProgressBar)->value();
    cancelEnabled = dialog.Control(kCtlCancel)->isEnabled();
  });

  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(dialog.runEnd(), RunEnd::Finished);
  EXPECT_EQ(stepLine, "Reading from ZEMA is completed.");
  EXPECT_EQ(bar, 512);
  EXPECT_FALSE(cancelEnabled);
  const zema::sim::SensorMemory memory = sim_.Memory();
  EXPECT_EQ(Content(".pr2.zema"), FormatParamFile(memory.params[2]));
  EXPECT_EQ(Content(".pr4.zema"), FormatParamFile(memory.params[4]));
  EXPECT_EQ(Content(".prM.zema"), FormatParamFile(memory.params[15]));
  EXPECT_TRUE(operator_.boxes.empty());
}

TEST_F(ComuDlgTest, WriteRunsEndToEnd) {
  Put(".pr2.zema", Lines(32, "12"));
  Put(".pr3.zema", Lines(32, "13"));
  Put(".pr4.zema", Lines(32, "14"));
  target_.direction = kDirectionWrite;
  CComuDlg dialog(sim_.port(), target_, &operator_);
  std::string stepLine;
  EXPECT_EQ(Exec(dialog, [&] { stepLine = Text(dialog, kCtlStepLine); }), QDialog::Accepted);
  EXPECT_EQ(stepLine, "Writing to ZEMA is completed.");
  const zema::sim::SensorMemory memory = sim_.Memory();
  for (int bank : {2, 3, 4}) {
    for (std::uint16_t value : memory.params[bank]) EXPECT_EQ(value, 10 + bank);
  }
}

// A close-box click or CANCEL during the run only asks the run to stop: the
// dialog stays up, the run finishes with "Aborted." and OK closes it.
class ComuDlgStopTest : public ComuDlgTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ComuDlgStopTest, StopsTheRunAndKeepsTheDialogOpen) {
  const bool viaCloseBox = GetParam();
  Put(".pr2.zema", Lines(32, "12"));
  Put(".pr4.zema", Lines(32, "14"));  // bank 3 is missing
  target_.direction = kDirectionWrite;
  CallbackOperator dialogs;
  CComuDlg dialog(sim_.port(), target_, &dialogs);
  bool stillVisible = false;
  dialogs.onQuestion = [&](const std::string&) {
    if (viaCloseBox) {
      dialog.close();
    } else {
      dialog.ControlAs<QPushButton>(kCtlCancel)->click();
    }
    stillVisible = dialog.isVisible() && dialog.isRunning();
    return false;  // skip bank 3
  };
  std::string stepLine;

  EXPECT_EQ(Exec(dialog, [&] { stepLine = Text(dialog, kCtlStepLine); }), QDialog::Accepted);
  EXPECT_TRUE(stillVisible);
  EXPECT_EQ(dialog.runEnd(), RunEnd::Cancelled);
  EXPECT_EQ(stepLine, "Aborted.");
  EXPECT_EQ(g_cancelState, kCancelNone);
  const zema::sim::SensorMemory memory = sim_.Memory();
  EXPECT_EQ(memory.params[2][0], 12);
  EXPECT_EQ(memory.params[4][0], zema::sim::DemoParamValue(4, 0));
}

INSTANTIATE_TEST_SUITE_P(Ways, ComuDlgStopTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& test) {
                           return std::string(test.param ? "CloseBox" : "CancelButton");
                         });

TEST_F(ComuDlgTest, CancelDuringAPatternBankStopsAfterTheCurrentBlock) {
  target_.bankParams = 0;
  target_.patterns = 1;
  target_.startBank = 5;
  target_.endBank = 5;
  Put(".pt5.bmp", "older");
  operator_.QueueAnswers({true});
  CComuDlg dialog(sim_.port(), target_, &operator_);
  // The operator clicks CANCEL while the sensor is taking block 100 of
  // section 0 (command 102, after the selection): the click waits in the
  // queue until the poll after that block.
  auto* cancel = dialog.ControlAs<QPushButton>(kCtlCancel);
  sim_.SetCommandHook([cancel](std::size_t number, std::span<const std::uint8_t>) {
    if (number == 102) {
      QMetaObject::invokeMethod(cancel, &QAbstractButton::click, Qt::QueuedConnection);
    }
  });
  std::string stepLine;
  int bar = -1;
  EXPECT_EQ(Exec(dialog,
                 [&] {
                   stepLine = Text(dialog, kCtlStepLine);
                   bar = dialog.ControlAs<QProgressBar>(kCtlProgressBar)->value();
                 }),
            QDialog::Accepted);
  sim_.SetCommandHook({});

  EXPECT_EQ(dialog.runEnd(), RunEnd::Cancelled);
  EXPECT_EQ(stepLine, "Aborted.");
  EXPECT_EQ(bar, 100 * 256 / 208);
  const auto commands = sim_.Commands();
  ASSERT_EQ(commands.size(), 102u);
  EXPECT_EQ(commands.back()[0], 0x83);
  EXPECT_EQ(commands.back()[1], 100);
  // No half-written bitmap: the older file stays, and nothing else is left.
  EXPECT_EQ(Content(".pt5.bmp"), "older");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
}

TEST_F(ComuDlgTest, TheEventPumpLetsAWaitingCancelClickThrough) {
  CComuDlg dialog(sim_.port(), target_, &operator_);
  QMetaObject::invokeMethod(dialog.ControlAs<QPushButton>(kCtlCancel), &QAbstractButton::click,
                            Qt::QueuedConnection);
  EXPECT_EQ(g_cancelState, kCancelNone);
  dialog.PumpPendingEvent();
  EXPECT_EQ(g_cancelState, kCancelPressed);
}

TEST_F(ComuDlgTest, AFailureShowsTheErrorBoxAndEndsTheDialog) {
  target_.baseName = (dir_ / "missing" / "base").string();
  CComuDlg dialog(sim_.port(), target_);  // real message boxes
  std::string boxText;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      boxText = box->text().toStdString();
      box->accept();
    }
  });
  answer.start(10);

  EXPECT_EQ(Exec(dialog), QDialog::Rejected);
  EXPECT_EQ(boxText, "Failed to create the file.");
  EXPECT_EQ(dialog.runEnd(), RunEnd::Failed);
  EXPECT_FALSE(dialog.Control(kCtlOk)->isEnabled());
}

TEST_F(ComuDlgTest, ARefusedOverwriteClosesTheDialogWithoutAText) {
  Put(".pr3.zema", "old\n");
  operator_.QueueAnswers({false});
  CComuDlg dialog(sim_.port(), target_, &operator_);
  EXPECT_EQ(Exec(dialog), QDialog::Accepted);
  EXPECT_EQ(dialog.runEnd(), RunEnd::OverwriteRefused);
  EXPECT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(Content(".pr3.zema"), "old\n");
  EXPECT_TRUE(fs::exists(target_.baseName + ".pr2.zema"));
}

}  // namespace
