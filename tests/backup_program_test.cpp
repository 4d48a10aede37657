// zema-transfer's write --backup and diff as a script runs them, against
// the virtual sensor in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "backup/manifest.h"
#include "link/commands.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/sensor_backup.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

class BackupProgramTest : public ::testing::Test {
 protected:
  std::string Backup() {
    CopySelection copy;
    copy.params = copy.common = true;
    return MakeSensorBackup(sim.port(), root.path().string(), "press-1", copy);
  }
  void Shift(std::uint16_t by) {
    sim.EditMemory([by](zema::sim::SensorMemory& m) { m.params[3][0] += by; });
  }

  SimFixture sim;
  TempFolder root{"backup-program"};
  fs::path press = root / "press-1";
};

}  // namespace

TEST_F(BackupProgramTest, WriteRefusesADamagedBackupAndRestoresTheNewestGoodOne) {
  const std::string good = Backup();
  const auto kept = sim.Memory().params;
  Shift(1);
  const std::string damaged = Backup();
  std::string bytes = ReadFileBytes(fs::path(damaged) / "press-1.pr3.zema");
  bytes[0] = static_cast<char>(bytes[0] ^ 1);  // still a digit: only the digest can tell
  WriteFileBytes(fs::path(damaged) / "press-1.pr3.zema", bytes);
  Shift(1);
  sim.ClearCommands();

  const std::string port = std::to_string(sim.port());
  const ProgramOutcome refused =
      RunProgram("zema-transfer", {"write", "--backup", damaged, "--port", port});
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("press-1.pr3.zema: its SHA-256 differs"), std::string::npos)
      << refused.err;
  EXPECT_TRUE(sim.Commands().empty());

  const ProgramOutcome restored = RunProgram(
      "zema-transfer", {"write", "--backup", (press / "latest").string(), "--port", port});
  EXPECT_EQ(restored.status, 0) << restored.err;
  EXPECT_NE(restored.err.find("passed over the damaged backup"), std::string::npos);
  EXPECT_NE(restored.err.find(good), std::string::npos);
  EXPECT_EQ(sim.Memory().params, kept);
}

TEST_F(BackupProgramTest, DiffExitsAsDiffDoes) {
  const std::string first = Backup();
  const std::string same = Backup();
  Shift(2);
  const std::string changed = Backup();
  fs::create_directory(root / "loose");
  const struct {
    std::string older, newer;
    int status;
    const char* text;
  } cases[] = {
      {first, same, 0, "unchanged since "},
      {first, changed, 1, "bank 3, line 1: "},
      {first, (root / "loose").string(), 2, "not a backup folder"},
  };
  for (const auto& c : cases) {
    const ProgramOutcome diff = RunProgram("zema-transfer", {"diff", c.older, c.newer});
    EXPECT_EQ(diff.status, c.status) << diff.err;
    EXPECT_NE((diff.out + diff.err).find(c.text), std::string::npos) << diff.out << diff.err;
  }
  const ProgramOutcome json = RunProgram("zema-transfer", {"diff", "--json", first, changed});
  const nlohmann::json report = nlohmann::json::parse(json.out);
  EXPECT_EQ(report["changes"][0]["values"][0]["new"].get<int>(),
            report["changes"][0]["values"][0]["old"].get<int>() + 2);
}

// A line of three: all backed up; then press-2 changed and oven's line cut
// at its first image block; the second backup keeps only whole backups.
TEST(BackupCommandTest, BacksUpALineSideBySideAndReportsWhatChanged) {
  SimFixture sims[3];
  const char* names[] = {"press-1", "press-2", "oven"};
  TempFolder root{"backup-line"};
  const fs::path inventory = root / "line.toml";
  {
    std::ofstream toml(inventory);
    for (int i = 0; i < 3; ++i) {
      toml << "[[sensor]]\nname = \"" << names[i] << "\"\nport = " << sims[i].port() << "\n";
    }
  }
  const std::vector<std::string> backup = {"backup", "--inventory", inventory.string(), "--into",
                                           (root / "backups").string()};
  const ProgramOutcome first = RunProgram("zema-transfer", backup);
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_NE(first.out.find("3 sensors: 3 backed up, 0 failed"), std::string::npos) << first.out;

  sims[1].EditMemory([](zema::sim::SensorMemory& m) {
    for (int line : {1, 7, 9}) m.params[4][static_cast<std::size_t>(line - 1)] += 3;
    m.compensation[1000] ^= 0xFF;
  });
  sims[2].AddFault({zema::sim::FaultKind::kHangUp, 0, kCmdReadBlock.code});
  std::vector<std::string> json = backup;
  json.push_back("--json");
  const ProgramOutcome second = RunProgram("zema-transfer", json);
  EXPECT_EQ(second.status, 1) << second.err;
  const nlohmann::json report = nlohmann::json::parse(second.out);

  const struct {
    int folders;
    std::string outcome;
    std::string summary;  // after the date of the first backup
  } expected[] = {{2, "backed up", "unchanged since "},
                  {2, "backed up", "changed since : 3 values in bank 4, compensation table"},
                  {1, "failed", ""}};
  for (int i = 0; i < 3; ++i) {
    const nlohmann::json& sensor = report["sensors"][i];
    EXPECT_EQ(sensor["name"], names[i]);
    EXPECT_EQ(sensor["outcome"], expected[i].outcome) << sensor.dump();
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(root / "backups" / names[i])) {
      folders.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(folders.size(), static_cast<std::size_t>(expected[i].folders)) << names[i];
    if (expected[i].summary.empty()) continue;
    Manifest older;
    std::string error;
    std::sort(folders.begin(), folders.end());
    ASSERT_TRUE(LoadManifest((root / "backups" / names[i] / folders[0]).string(), older, error));
    std::string summary = expected[i].summary;
    summary.insert(summary.find("since ") + 6, older.started.substr(0, 10));
    EXPECT_EQ(sensor["summary"], summary);
  }
  const nlohmann::json& values = report["sensors"][1]["changes"]["changes"][0]["values"];
  ASSERT_EQ(values.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(values[i]["new"].get<int>() & 0xFFFF, (values[i]["old"].get<int>() + 3) & 0xFFFF);
  }
  EXPECT_TRUE(
      fs::exists(fs::path(report["sensors"][1]["folder"].get<std::string>()) / "changes-cmp.png"));
}

}  // namespace zema
