// The names of a run's files and the length of the path buffer.
#include <gtest/gtest.h>

#include <string>

#include "formats/file_naming.h"

namespace {

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
