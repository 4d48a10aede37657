// The transfer log: the line each READ of the progress dialog appends,
// after a completed, a cancelled and a failed run, and the log's move to
// ".1" past its limit.
#include "transfer/transfer_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/file_bytes.h"
#include "tests/support/fake_dialog_window.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/progress_dialog.h"

namespace zema {

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

using TransferLogTest = SimPortTest;

TEST_F(TransferLogTest, EachDialogRunLogsItsOutcomeAndMessage) {
  const TempFolder dir_("zema-transfer-log");
  fs::remove(TransferLogPath());
  TransferTarget target_;
  target_.commonParams = target_.brightComp = 1;
  target_.endBank = 14;
  FakeOperatorScript script_;
  struct Run {
    std::string baseName;
    bool cancel;
    const char* outcome;
    std::string message;
  };
  const Run runs[] = {
      {(dir_ / "line1").string(), false, "completed", "Reading from ZEMA is completed."},
      {(dir_ / "line2").string(), true, "cancelled", "Aborted."},
      {(dir_ / "missing/line1").string(), false, "failed",
       "Failed to create the file. (" + (dir_ / "missing").string() +
           ": No such file or directory)"},
  };
  for (const Run& run : runs) {
    target_.baseName = run.baseName;
    CComuDlg dialog(link, target_);
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
    EXPECT_EQ(std::vector<std::string>(fields.begin() + 1, fields.end()),
              (std::vector<std::string>{"zema-loader", "READ", "COM" + std::to_string(sim.port()),
                                        runs[i].baseName, "common,compensation", "0-14",
                                        runs[i].outcome, runs[i].message}));
  }
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

}  // namespace zema
