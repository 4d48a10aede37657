// Ref.: the base name made of a chosen file, and the name part in it.
#include <gtest/gtest.h>

#include <string>

#include "console/base_name_choice.h"

namespace zema {

namespace {

TEST(BaseNameChoice, CutsARunsSuffixOnlyAndFindsTheNamePart) {
  const struct {
    const char* chosen;
    const char* baseName;
    std::size_t namePart;  // where the name part of baseName starts
  } kCases[] = {
      // The suffixes a run writes: "." + three characters + ".zema" / ".bmp".
      {"C:\\data\\lineA.pr3.zema", "C:\\data\\lineA", 8},
      {"C:\\data\\lineA.prM.zema", "C:\\data\\lineA", 8},
      {"C:\\data\\lineA.cmp.bmp", "C:\\data\\lineA", 8},
      {"C:\\data\\lineA.ptE.bmp", "C:\\data\\lineA", 8},
      {"/home/op/lines/lineA.pr3.zema", "/home/op/lines/lineA", 15},
      {"/home/op/lines/lineA.abc.bmp", "/home/op/lines/lineA", 15},
      // Anything else stays whole, extension included.
      {"/home/op/photo.bmp", "/home/op/photo.bmp", 9},
      {"C:\\data\\lineA.PR3.ZEMA", "C:\\data\\lineA.PR3.ZEMA", 8},
      {"/home/op/lineA.pr3.zem", "/home/op/lineA.pr3.zem", 9},
      {"/home/op/lineA.pr33.zema", "/home/op/lineA.pr33.zema", 9},
      {"/home/op/lineA_pr3.zema", "/home/op/lineA_pr3.zema", 9},
      {"C:\\data\\linebmp", "C:\\data\\linebmp", 8},
      // Fewer than nine characters are never cut; nine may leave nothing.
      {".cmp.bmp", ".cmp.bmp", 0},
      {".pr3.zema", "", 0},
      {"a.pr3.zema", "a", 0},
      // A folder separator among the three characters: not a run's file.
      {"/data/x.c/d.bmp", "/data/x.c/d.bmp", 10},
      {"C:\\a.b\\cd.zema", "C:\\a.b\\cd.zema", 7},
      // Mixed separators: the last of either kind ends the folder part.
      {"C:\\data/sub\\lineA.pt0.bmp", "C:\\data/sub\\lineA", 12},
      {"lineA", "lineA", 0},
      {"", "", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.chosen);
    const std::string baseName = CutTransferSuffix(c.chosen);
    EXPECT_EQ(baseName, c.baseName);
    EXPECT_EQ(FileNamePartStart(baseName), c.namePart);
  }
}

}  // namespace

}  // namespace zema
