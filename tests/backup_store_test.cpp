// Backups of the virtual sensor in their dated folders: what counts as a
// good backup, "latest", retention, and what changed between two.
#include "backup/backup_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "backup/backup_diff.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/sensor_backup.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const std::vector<StoredBackup>& backups) {
  std::vector<std::string> names;
  for (const StoredBackup& backup : backups) names.push_back(backup.name);
  return names;
}

void FlipByte(const fs::path& file, std::size_t at) {
  std::string bytes = ReadFileBytes(file);
  bytes[at] = static_cast<char>(bytes[at] ^ 1);
  WriteFileBytes(file, bytes);
}

class BackupStoreTest : public ::testing::Test {
 protected:
  CopySelection Params() {
    CopySelection copy;
    copy.params = copy.common = true;
    return copy;
  }

  SimFixture sim;
  TempFolder root{"backups"};
  fs::path press = root / "press-1";
};

}  // namespace

TEST_F(BackupStoreTest, OnlyWholeBackupsAreListedAndLatestIsTheNewestGoodOne) {
  PendingBackup pending;
  std::string error;
  ASSERT_TRUE(pending.Begin(root.path().string(), "press-1", error));
  WriteFileBytes(pending.basePath() + ".prM.zema", "1\n");
  EXPECT_TRUE(ListBackups(press.string()).empty());  // in the making: hidden
  pending.Abandon();
  EXPECT_TRUE(FolderEntries(press).empty());

  const std::string first = MakeSensorBackup(sim.port(), root.path().string(), "press-1", Params());
  const std::string second =
      MakeSensorBackup(sim.port(), root.path().string(), "press-1", Params());
  const std::vector<StoredBackup> backups = ListBackups(press.string());
  ASSERT_EQ(Names(backups).size(), 2u);
  EXPECT_LT(backups[0].name, backups[1].name);  // the same second sorts in order too
  EXPECT_TRUE(backups[0].check.good && backups[1].check.good) << backups[1].check.Text();

  std::string latest;
  ASSERT_TRUE(ResolveBackup((press / "latest").string(), latest, error));
  EXPECT_EQ(latest, second);
  FlipByte(fs::path(second) / "press-1.pr7.zema", 0);
  std::vector<std::string> skipped;
  ASSERT_TRUE(ResolveBackup((press / "latest/").string(), latest, error, &skipped));
  EXPECT_EQ(latest, first);
  EXPECT_EQ(skipped.size(), 1u);
}

TEST_F(BackupStoreTest, VerifyingNamesTheFileThatIsNotAsTheManifestSays) {
  const std::string backup = MakeSensorBackup(sim.port(), root.path().string(), "press-1");
  const fs::path folder(backup);
  const std::string manifest = ReadFileBytes(folder / "manifest.json");
  const struct {
    std::function<void()> damage;
    const char* file;
  } cases[] = {
      {[&] { FlipByte(folder / "press-1.pt3.bmp", 90000); }, "press-1.pt3.bmp"},
      {[&] { WriteFileBytes(folder / "press-1.pr2.zema", "0\n"); }, "press-1.pr2.zema"},
      {[&] { fs::remove(folder / "press-1.cmp.bmp"); }, "press-1.cmp.bmp"},
      {[&] {
         fs::rename(folder / "press-1.prM.zema", folder / "moved");
         fs::create_symlink("moved", folder / "press-1.prM.zema");
       },
       "press-1.prM.zema"},
      {[&] { WriteFileBytes(folder / "manifest.json", manifest.substr(0, 200)); }, "manifest.json"},
      {[&] {  // the restore would send press-1.pr0.zema, which nothing vouches for
         std::string edited = manifest;
         const std::size_t entry = edited.find("{", edited.find("press-1.pr0.zema") - 30);
         edited.erase(entry, edited.find("}", entry) + 3 - entry);
         WriteFileBytes(folder / "manifest.json", edited);
       },
       "press-1.pr0.zema"},
  };
  const std::map<std::string, std::string> whole = FolderContents(folder);
  ASSERT_TRUE(VerifyBackup(backup).good);
  for (const auto& c : cases) {
    c.damage();
    const BackupCheck check = VerifyBackup(backup);
    EXPECT_FALSE(check.good) << c.file;
    EXPECT_EQ(check.file, c.file) << check.Text();
    fs::remove(folder / "moved");
    for (const auto& [name, bytes] : whole) {
      fs::remove(folder / name);
      WriteFileBytes(folder / name, bytes);
    }
  }
}

TEST_F(BackupStoreTest, KeepingTheNewestNeverRemovesTheOnlyGoodOneNorForeignFolders) {
  std::vector<std::string> made;
  for (int i = 0; i < 4; ++i) {
    made.push_back(MakeSensorBackup(sim.port(), root.path().string(), "press-1", Params()));
  }
  WriteFileBytes(fs::path(made[0]) / "notes.txt", "before the retrofit");
  FlipByte(fs::path(made[2]) / "press-1.pr0.zema", 0);
  FlipByte(fs::path(made[3]) / "press-1.pr0.zema", 0);
  fs::create_directory(press / "2020-01-01T000000Z");  // no manifest: not ours to remove

  const Retention retention = KeepNewest(press.string(), 1);
  EXPECT_EQ(retention.removed, std::vector<std::string>{fs::path(made[2]).filename().string()});
  EXPECT_EQ(retention.notes.size(), 2u);
  const std::vector<std::string> left = FolderEntries(press);
  EXPECT_EQ(left.size(), 4u);
  std::string latest;
  std::string error;
  ASSERT_TRUE(ResolveBackup((press / "latest").string(), latest, error));
  EXPECT_EQ(latest, made[1]);
}

TEST_F(BackupStoreTest, ADiffListsChangedValuesAndPixelsWithAPictureOfThem) {
  const std::string before = MakeSensorBackup(sim.port(), root.path().string(), "press-1");
  sim.EditMemory([](zema::sim::SensorMemory& memory) {
    memory.params[4][6] = static_cast<std::uint16_t>(memory.params[4][6] + 5);
    memory.params[15][0] = 7;
    // Pixels 10 to 19 of the first row (the bottom one on screen).
    for (int x = 10; x < 20; ++x) memory.patterns[3][0][2 * x] ^= 0x42;
  });
  const std::string after = MakeSensorBackup(sim.port(), root.path().string(), "press-1");
  Manifest older;
  Manifest newer;
  ASSERT_TRUE(VerifyBackup(before, &older).good && VerifyBackup(after, &newer).good);
  BackupDiff diff;
  std::string error;
  ASSERT_TRUE(CompareBackups(before, older, after, newer, after, diff, error)) << error;
  ASSERT_EQ(diff.items.size(), 3u);
  EXPECT_EQ(diff.items[0].values.size(), 1u);
  EXPECT_EQ(diff.items[0].values[0].line, 7);
  EXPECT_EQ(diff.items[0].values[0].after, diff.items[0].values[0].before + 5);
  EXPECT_EQ(diff.items[2].changedPixels, 10u);
  EXPECT_EQ(SummaryLine(diff), "changed since " + older.started.substr(0, 10) +
                                   ": 1 value in bank 4, 1 value in the common set, "
                                   "pattern of bank 3");
  // Pillow sees a picture of the bank's size with exactly those pixels red.
  const ProgramOutcome pillow = RunProgram(
      "/usr/bin/python3",
      {"-c",
       "import sys; from PIL import Image\n"
       "im = Image.open(sys.argv[1]); assert im.size == (236, 208) and im.mode == 'RGB'\n"
       "red = [(x, y) for y in range(208) for x in range(236)\n"
       "       if im.getpixel((x, y)) == (255, 0, 0)]\n"
       "assert red == [(x, 207) for x in range(10, 20)], red\n"
       "assert all(len(set(im.getpixel((x, 100)))) == 1 for x in range(236))\n",
       after + "/changes-pt3.png"});
  EXPECT_EQ(pillow.status, 0) << pillow.err;

  ASSERT_TRUE(CompareBackups(after, newer, after, newer, "", diff, error));
  EXPECT_EQ(SummaryLine(diff), "unchanged since " + newer.started.substr(0, 10));
}

}  // namespace zema
