// The names of a run's files and the length of the path buffer.
#include "transfer/file_naming.h"

#include <gtest/gtest.h>

#include <string>

#include "transfer/run_state.h"

namespace {

struct Naming {
  int slot;
  bool isImage;
  const char* path;
};

class FileNaming : public ::testing::TestWithParam<Naming> {};

TEST_P(FileNaming, AppendsTheSuffixOfKindAndSlot) {
  char path[kFilePathSize] = "stale";
  ASSERT_TRUE(BuildFilePath("C:\\data\\line1", path, sizeof path, GetParam().slot,
                            GetParam().isImage));
  EXPECT_STREQ(path, GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Slots, FileNaming,
    ::testing::Values(Naming{0, false, "C:\\data\\line1.pr0.zema"},
                      Naming{10, false, "C:\\data\\line1.prA.zema"},
                      Naming{14, false, "C:\\data\\line1.prE.zema"},
                      Naming{15, false, "C:\\data\\line1.prM.zema"},
                      Naming{3, true, "C:\\data\\line1.pt3.bmp"},
                      Naming{14, true, "C:\\data\\line1.ptE.bmp"},
                      Naming{15, true, "C:\\data\\line1.cmp.bmp"}));

TEST(FilePathBuffer, TheLongestNameThatFitsIsKeptWhole) {
  const std::string base(kMaxBaseNameLength, 'a');
  EXPECT_TRUE(BaseNameFits(base));
  char path[kFilePathSize];
  ASSERT_TRUE(BuildFilePath(base, path, sizeof path, 15, false));
  EXPECT_EQ(std::string(path), base + ".prM.zema");
  ASSERT_TRUE(BuildFilePath(base, path, sizeof path, 7, true));
  EXPECT_EQ(std::string(path), base + ".pt7.bmp");
}

TEST(FilePathBuffer, ALongerNameIsRefusedNotCut) {
  const std::string base(kMaxBaseNameLength + 1, 'a');
  EXPECT_FALSE(BaseNameFits(base));
  char path[kFilePathSize] = "stale";
  EXPECT_FALSE(BuildFilePath(base, path, sizeof path, 0, false));
  EXPECT_STREQ(path, "");
  // The image suffix is shorter, but the run checks the name as a whole.
  EXPECT_TRUE(BuildFilePath(base, path, sizeof path, 15, true));
}

TEST(FilePathBuffer, AZeroInsideTheNameIsRefused) {
  const std::string base("line\0one", 8);
  EXPECT_FALSE(BaseNameFits(base));
  char path[kFilePathSize];
  EXPECT_FALSE(BuildFilePath(base, path, sizeof path, 0, false));
}

}  // namespace
