// Backups of the virtual sensor in their dated folders: what counts as a
// good backup, "latest" and retention.
#include "backup/backup_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/file_bytes.h"
#include "tests/support/sensor_backup.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

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
