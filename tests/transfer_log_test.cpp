// The transfer log: the line each READ of the progress dialog and of
// zema-transfer appends, after a completed, a failed and a cancelled run,
// and the log's move to ".1" past its limit.
#include "transfer/transfer_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/fake_dialog_window.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/comu_dlg.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::vector<std::string>> LoggedFields() {
  std::vector<std::vector<std::string>> lines;
  std::istringstream log(ReadFileBytes(TransferLogPath()));
  for (std::string line; std::getline(log, line);) {
    std::vector<std::string>& fields = lines.emplace_back();
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
  }
  return lines;
}

class TransferLogTest : public SimPortTest {
 protected:
  void SetUp() override {
    SimPortTest::SetUp();
    fs::remove(TransferLogPath());
    target_.commonParams = 1;
    target_.brightComp = 1;
    target_.endBank = 14;
  }

  TempFolder dir_{"zema-transfer-log"};
  TransferTarget target_;
  FakeOperatorScript script_;
};

TEST_F(TransferLogTest, EachDialogRunLogsItsOutcomeAndMessage) {
  const std::string good = (dir_ / "line1").string();
  const std::string missing = (dir_ / "missing/line1").string();
  struct Run {
    std::string baseName;
    bool cancel;
    const char* outcome;
    std::string message;
  };
  const Run runs[] = {
      {good, false, "completed", "Reading from ZEMA is completed."},
      {(dir_ / "line2").string(), true, "cancelled", "Aborted."},
      {missing, false, "failed",
       "Failed to create the file. (" + (dir_ / "missing").string() +
           ": No such file or directory)"},
  };
  for (const Run& run : runs) {
    target_.baseName = run.baseName;
    CComuDlg dialog(sim.port(), target_);
    FakeDialogWindow window(dialog, script_);
    // CANCEL while the sensor takes the compensation table's tenth block.
    sim.ClearCommands();
    sim.SetCommandHook([&](std::size_t number, std::span<const std::uint8_t>) {
      if (run.cancel && number == 12) window.Post([&] { window.Click(kCtlCancel); });
    });
    window.Run();
    sim.SetCommandHook({});
  }

  const auto lines = LoggedFields();
  ASSERT_EQ(lines.size(), 3u);
  const std::regex localTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(runs[i].outcome);
    const std::vector<std::string>& fields = lines[i];
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_TRUE(std::regex_match(fields[0], localTime)) << fields[0];
    EXPECT_EQ(fields[1], "zema-loader");
    EXPECT_EQ(fields[2], "READ");
    EXPECT_EQ(fields[3], "COM" + std::to_string(sim.port()));
    EXPECT_EQ(fields[4], runs[i].baseName);
    EXPECT_EQ(fields[5], "common,compensation");
    EXPECT_EQ(fields[6], "0-14");
    EXPECT_EQ(fields[7], runs[i].outcome);
    EXPECT_EQ(fields[8], runs[i].message);
  }
}

// zema-transfer logs as the dialog does, with a base name made absolute.
TEST(TransferLog, ZemaTransferLogsItsRunsToo) {
  const SimFixture sim;
  const TempFolder dir_("zema-transfer-log");
  fs::remove(TransferLogPath());
  const fs::path started = fs::current_path();
  fs::current_path(dir_);  // the program's too
  const ProgramOutcome read = RunProgram(
      "zema-transfer",
      {"read", "--params", "--banks", "3", "--base", "line1", "--port", std::to_string(sim.port())},
      {}, std::chrono::seconds(90));
  fs::current_path(started);
  ASSERT_EQ(read.status, 0) << read.err;
  const auto lines = LoggedFields();
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(lines[0].size(), 9u);
  EXPECT_EQ(lines[0][1], "zema-transfer");
  EXPECT_EQ(lines[0][4], (dir_ / "line1").string());
  EXPECT_EQ(lines[0][5] + " " + lines[0][6] + " " + lines[0][7], "params 3-3 completed");
}

// Past its limit the log becomes ".1" and begins anew; a log that cannot be
// written is left out without a word.
TEST(TransferLog, PastItsLimitTheLogMovesToDotOne) {
  const TempFolder dir("zema-log-limit");
  const std::string path = (dir / "logs/transfer.log").string();
  for (const char* line : {"first line", "second", "third"}) {
    EXPECT_TRUE(AppendToTransferLog(path, line, 12));
  }
  EXPECT_EQ(ReadFileBytes(path + ".1"), "first line\nsecond\n");
  EXPECT_EQ(ReadFileBytes(path), "third\n");
  WriteFileBytes(dir / "file", "");
  EXPECT_FALSE(AppendToTransferLog((dir / "file/transfer.log").string(), "lost"));
}

}  // namespace
