// The run frame: step order, texts, progress and finish, and the helpers the
// steps share. These runs select nothing that reaches the wire.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/source_file.h"
#include "formats/staged_file.h"
#include "link/packet.h"
#include "res/messages.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/temp_folder.h"
#include "transfer/run_exchange.h"

namespace fs = std::filesystem;

namespace {

using Kind = RecordingRunView::Kind;

class TransferRunTest : public ::testing::Test {
 protected:
  void SetUp() override { target_.baseName = (dir_ / "base").string(); }

  RunEnd Run() {
    // No port is open: a run that tried to exchange anything would fail.
    TransferRun run{target_, link_, view_, operator_};
    run.cancelState = cancelState_;
    const RunEnd end = RunTransfer(run);
    cancelState_ = run.cancelState;
    return end;
  }
  bool FolderIsEmpty() const { return fs::is_empty(dir_); }
  static std::string Msg(int id) { return LoadMessage(id); }

  TempFolder dir_{"zema-run"};
  TransferTarget target_;
  SensorLink link_;
  int cancelState_ = kCancelNone;  // as the next run starts, and as the last one left it
  RecordingRunView view_;
  ScriptedOperator operator_;
};

TEST_F(TransferRunTest, AReadWithNothingSelectedPassesEveryStep) {
  EXPECT_EQ(Run(), RunEnd::Finished);
  EXPECT_TRUE(FolderIsEmpty());
  EXPECT_EQ(view_.StepLines(), (std::vector<std::string>{Msg(121), Msg(122), Msg(135)}));
  std::vector<int> positions{0};
  positions.insert(positions.end(), 16, 512);
  positions.insert(positions.end(), {0, 512, 512});
  EXPECT_EQ(view_.Positions(), positions);
  EXPECT_TRUE(view_.EveryPositionShown());
  EXPECT_EQ(view_.rangeLow, 0);
  EXPECT_EQ(view_.events[0].kind, Kind::Range);
  EXPECT_EQ(view_.events[0].value, 512);
  EXPECT_EQ(view_.Count(Kind::OfferOk), 1);
  EXPECT_FALSE(view_.EndResult().has_value());
  EXPECT_TRUE(operator_.boxes.empty());
}

// Completion is reported only when something was transferred: a run with
// no data kind, or whose bank range is empty, says there was nothing to do.
TEST_F(TransferRunTest, ARunThatMovesNothingSaysSo) {
  struct Case {
    int direction;
    bool banks;  // bank parameters and patterns, banks 3 to 1
    int finalText;
  };
  const Case cases[] = {{kDirectionRead, false, 135},
                        {kDirectionWrite, false, 136},
                        {kDirectionRead, true, 135},
                        {kDirectionWrite, true, 136}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.direction << " banks " << c.banks);
    view_.events.clear();
    target_.direction = c.direction;
    target_.bankParams = target_.patterns = c.banks ? 1 : 0;
    target_.startBank = 3;
    target_.endBank = 1;
    EXPECT_EQ(Run(), RunEnd::Finished);
    EXPECT_EQ(view_.LastStepLine(), Msg(c.finalText));
    EXPECT_TRUE(FolderIsEmpty());
    EXPECT_TRUE(operator_.boxes.empty());
    EXPECT_EQ(view_.Positions().back(), 512);
  }
}

TEST_F(TransferRunTest, CancelBeforeTheFirstStepEndsAborted) {
  target_.bankParams = 1;
  target_.commonParams = 1;
  target_.endBank = 14;
  cancelState_ = kCancelPressed;
  EXPECT_EQ(Run(), RunEnd::Cancelled);
  EXPECT_EQ(cancelState_, kCancelNone);
  EXPECT_EQ(view_.LastStepLine(), Msg(134));
  EXPECT_EQ(view_.StepLines(), (std::vector<std::string>{Msg(121), Msg(122), Msg(134)}));
  EXPECT_EQ(view_.Positions(), (std::vector<int>{0, 0}));
  EXPECT_EQ(view_.Count(Kind::OfferOk), 1);
  EXPECT_TRUE(FolderIsEmpty());
}

// A base name whose paths would not fit, or that names no file of its own
// (the files would be hidden ones such as ".pr0.zema"), is refused before
// anything is sent.
TEST_F(TransferRunTest, AnUnusableBaseNameIsRefusedBeforeAnythingIsSent) {
  struct Case {
    std::string baseName;
    int message;
  };
  const Case cases[] = {{(dir_ / std::string(251, 'n')).string(), 140}, {"", 149}};
  for (const Case& c : cases) {
    for (int direction : {kDirectionRead, kDirectionWrite}) {
      SCOPED_TRACE(c.baseName);
      view_.events.clear();
      operator_.boxes.clear();
      target_.direction = direction;
      target_.commonParams = 1;
      target_.baseName = c.baseName;
      EXPECT_EQ(Run(), RunEnd::Failed);
      ASSERT_EQ(operator_.boxes.size(), 1u);
      EXPECT_EQ(operator_.boxes[0].text, Msg(c.message));
      EXPECT_EQ(operator_.boxes[0].caption, "Error");
      EXPECT_EQ(view_.EndResult(), kRunResultFailed);
      EXPECT_EQ(view_.Count(Kind::OfferOk), 0);
      EXPECT_EQ(view_.Count(Kind::Step), 0);
      EXPECT_TRUE(FolderIsEmpty());
    }
  }
}

TEST_F(TransferRunTest, ALongBaseNameDoesNotMatterWhenNothingIsSelected) {
  target_.baseName = std::string(300, 'n');
  EXPECT_EQ(Run(), RunEnd::Finished);
}

class RunHelperTest : public TransferRunTest {
 protected:
  TransferRun run_{target_, link_, view_, operator_};
};

TEST_F(RunHelperTest, PollCancelStopsAndDiscardsTheOpenReadFile) {
  const std::string path = (dir_ / "base.pt3.bmp").string();
  StagedFile file;
  ASSERT_TRUE(file.Create(path));
  EXPECT_FALSE(PollCancel(run_, file));
  EXPECT_TRUE(file.isOpen());
  view_.onPump = [this] { run_.cancelState = kCancelPressed; };
  EXPECT_TRUE(PollCancel(run_, file));
  EXPECT_FALSE(file.isOpen());
  EXPECT_TRUE(FolderIsEmpty());
  EXPECT_EQ(view_.Count(Kind::Pump), 2);
}

TEST_F(RunHelperTest, PollCancelClosesTheOpenWriteFileOnce) {
  const std::string path = (dir_ / "base.cmp.bmp").string();
  std::fclose(std::fopen(path.c_str(), "wb"));
  SourceFile file;
  ASSERT_TRUE(file.Open(path));
  view_.onPump = [this] { run_.cancelState = kCancelPressed; };
  EXPECT_TRUE(PollCancel(run_, file));
  EXPECT_FALSE(file.isOpen());
}

TEST_F(RunHelperTest, BankNumberAndFailRun) {
  ShowBankNo(run_, 3);
  EXPECT_EQ(view_.LastDetailLine(), "Bank No. = 3");
  run_.failure = Failure{0, "link down", {}};
  FailRun(run_);
  ASSERT_EQ(operator_.boxes.size(), 1u);
  EXPECT_EQ(operator_.boxes[0].text, "link down");
  EXPECT_EQ(operator_.boxes[0].icon, BoxIcon::Stop);
  EXPECT_EQ(view_.EndResult(), kRunResultFailed);
}

}  // namespace
