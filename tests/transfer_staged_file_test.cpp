// Files written under a temporary name and renamed over their target.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <iterator>
#include <string>

#include "formats/staged_file.h"
#include "support/file_bytes.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

// The C library's mkstemp, watched (was the file counted open before it
// existed? a second Ctrl-C looks at that count), or failing.
static bool g_countedWhenMade = false;
static bool g_mkstempFails = false;

extern "C" int mkstemp(char* name) {
  static const auto real = reinterpret_cast<int (*)(char*)>(::dlsym(RTLD_NEXT, "mkstemp"));
  if (g_mkstempFails) return errno = EROFS, -1;
  g_countedWhenMade = StagedFileOpen();
  return real(name);
}

namespace {

class StagedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_ = (dir_ / "line1.pr0.zema").string();
  }

  int EntriesInFolder() const {
    return static_cast<int>(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()));
  }

  TempFolder dir_{"zema-staged"};
  std::string target_;
};

TEST_F(StagedFileTest, TheTargetAppearsOnlyOnCommit) {
  StagedFile file;
  ASSERT_TRUE(file.Create(target_));
  file.Write("1\n");
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_EQ(fs::path(file.temporaryPath()).parent_path(), dir_);
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadFileBytes(target_), "1\n");
  EXPECT_EQ(EntriesInFolder(), 1);
}

TEST_F(StagedFileTest, TheTemporaryNameIsNoLongerThanTheTarget) {
  // 255 bytes is the longest name the file system takes; a UTF-8 name is
  // not cut inside a character; a short name gets eight characters.
  std::string japanese;
  for (int i = 0; i < 85; ++i) japanese += "\u691c";  // three bytes each
  struct Case {
    std::string name;
    std::string temporaryStart;
  };
  const Case cases[] = {{std::string(250, 'n') + ".zema", "." + std::string(247, 'n') + "~"},
                        {japanese, "." + japanese.substr(0, 246) + "~"},
                        {"a.ini", ".~"}};
  for (const Case& test : cases) {
    const std::string target = (dir_ / test.name).string();
    WriteFileBytes(target, "old");
    StagedFile file;
    ASSERT_TRUE(file.Create(target)) << test.name.size();
    const std::string temporary = fs::path(file.temporaryPath()).filename().string();
    EXPECT_LE(temporary.size(), std::max<std::size_t>(test.name.size(), 8));
    EXPECT_EQ(temporary.size(), test.temporaryStart.size() + 6);
    EXPECT_EQ(temporary.substr(0, test.temporaryStart.size()), test.temporaryStart);
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(ReadFileBytes(target), "");
    fs::remove(target);
  }
  EXPECT_EQ(EntriesInFolder(), 0);
}

TEST_F(StagedFileTest, CommitReplacesAnOlderFileAndKeepsItsMode) {
  WriteFileBytes(target_, "old\n");
  fs::permissions(target_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  StagedFile file;
  ASSERT_TRUE(file.Create(target_));
  file.Write("new\n");
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(ReadFileBytes(target_), "new\n");
  EXPECT_EQ(fs::status(target_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(StagedFileTest, ANewFileGetsTheModeOfAnOrdinaryNewFile) {
  const mode_t previous = ::umask(022);
  StagedFile file;
  ASSERT_TRUE(file.Create(target_));
  ASSERT_TRUE(file.Commit());
  ::umask(previous);
  struct stat info {};
  ASSERT_EQ(::stat(target_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(StagedFileTest, DiscardOrDestructionLeavesTheOlderFileAsItWas) {
  WriteFileBytes(target_, "old\n");
  {
    StagedFile discarded;
    ASSERT_TRUE(discarded.Create(target_));
    discarded.Write("partial");
    discarded.Discard();
    StagedFile abandoned;
    ASSERT_TRUE(abandoned.Create(target_));
    abandoned.Write("partial");
  }
  EXPECT_EQ(ReadFileBytes(target_), "old\n");
  EXPECT_EQ(EntriesInFolder(), 1);
}

TEST_F(StagedFileTest, NoFileIsMadeInAFolderThatDoesNotExist) {
  StagedFile file;
  EXPECT_FALSE(file.Create((dir_ / "missing" / "line1.pr0.zema").string()));
  EXPECT_FALSE(file.isOpen());
  EXPECT_FALSE(file.Commit());
}

TEST_F(StagedFileTest, AFailedRenameRemovesTheTemporaryFile) {
  // A folder of the target's name, made while the file is written, cannot
  // be replaced by a file.
  StagedFile file;
  ASSERT_TRUE(file.Create(target_));
  fs::create_directory(dir_ / "line1.pr0.zema");
  EXPECT_FALSE(file.Commit());
  EXPECT_TRUE(fs::is_directory(target_));
  EXPECT_EQ(EntriesInFolder(), 1);
}

TEST_F(StagedFileTest, ItIsCountedOpenFromBeforeItsFileExistsUntilItIsGone) {
  StagedFile file;
  ASSERT_TRUE(file.Create(target_));
  EXPECT_TRUE(g_countedWhenMade);
  file.Discard();
  g_mkstempFails = true;
  EXPECT_FALSE(file.Create(target_));
  g_mkstempFails = false;
  EXPECT_EQ(errno, EROFS);
  EXPECT_FALSE(StagedFileOpen());
}

}  // namespace
