// zema-transfer's write --backup and diff as a script runs them, against
// the virtual sensor in this process.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

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

}  // namespace zema
