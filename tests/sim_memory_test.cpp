// The virtual sensor's memory layout and the demo content a fresh sensor
// shows.
#include <gtest/gtest.h>

#include <set>

#include "sim/demo_content.h"
#include "sim/sensor_memory.h"

using namespace zema;
using namespace zema::sim;

namespace {

TEST(SimMemoryTest, SelectorsNameTheImagesOfTheCommandSet) {
  struct Case {
    int selector;
    bool known;
    ImageSlot::Kind kind;
    int bank, section, firstBlock, blockCount;
  };
  const Case cases[] = {
      {2, true, ImageSlot::Kind::kCompensation, 0, 0, 160, 96},
      {4, true, ImageSlot::Kind::kPattern, 0, 0, 0, 256},
      {6, true, ImageSlot::Kind::kPattern, 0, 1, 0, 160},
      {8, true, ImageSlot::Kind::kPattern, 1, 0, 0, 256},
      {62, true, ImageSlot::Kind::kPattern, 14, 1, 0, 160},
      {0, false, {}, 0, 0, 0, 0},
      {1, false, {}, 0, 0, 0, 0},
      {3, false, {}, 0, 0, 0, 0},
      {5, false, {}, 0, 0, 0, 0},
      {63, false, {}, 0, 0, 0, 0},
      {64, false, {}, 0, 0, 0, 0},
      {255, false, {}, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selector);
    const auto slot = ImageForSelector(c.selector);
    ASSERT_EQ(slot.has_value(), c.known);
    if (!slot) continue;
    EXPECT_EQ(slot->kind, c.kind);
    EXPECT_EQ(slot->bank, c.bank);
    EXPECT_EQ(slot->section, c.section);
    EXPECT_EQ(slot->firstBlock, c.firstBlock);
    EXPECT_EQ(slot->blockCount, c.blockCount);
    EXPECT_EQ(ImageForSelector(c.kind == ImageSlot::Kind::kPattern
                                   ? PatternSelector(c.bank, c.section)
                                   : kCompensationSelector)
                  ->firstBlock,
              c.firstBlock);
  }
}

TEST(SimDemoContentTest, ParameterSetsCanBeToldApart) {
  const SensorMemory memory = DemoMemory();
  std::set<std::uint16_t> seen;
  for (const ParamSet& set : memory.params) seen.insert(set.begin(), set.end());
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kParamSetCount * kParamValuesPerSet));
}

TEST(SimDemoContentTest, CompensationIsASmoothGradientOfValidSamples) {
  const SensorMemory memory = DemoMemory();
  for (int i = 0; i < 16; ++i) EXPECT_EQ(WordAt(memory.compensation, static_cast<std::size_t>(i)), 0);
  int lowest = 255;
  int highest = 0;
  for (int n = 0; n < 12272; ++n) {
    const int v = CompensationSample(memory, n);
    EXPECT_EQ(WordAt(memory.compensation, static_cast<std::size_t>(n + 16)) >> 8, 0);
    lowest = std::min(lowest, v);
    highest = std::max(highest, v);
    if (n % 59 != 0) {
      // Neighbours along a row differ a little, never jump.
      EXPECT_LE(std::abs(v - CompensationSample(memory, n - 1)), 4) << n;
    }
  }
  EXPECT_LE(highest, 127);
  EXPECT_GE(highest - lowest, 60);  // visibly a gradient, not a flat grey
}

TEST(SimDemoContentTest, EveryBankHasItsOwnViewablePicture) {
  const SensorMemory memory = DemoMemory();
  std::set<std::vector<std::uint8_t>> pictures;
  for (int bank = 0; bank < kBankCount; ++bank) {
    SCOPED_TRACE(bank);
    std::set<std::uint16_t> colours;
    bool allEven = true;
    for (int y = 0; y < kPatternHeight; ++y) {
      for (int x = 0; x < kPatternWidth; ++x) {
        const std::uint16_t word = PatternPixel(memory, bank, x, y);
        colours.insert(word);
        allEven = allEven && (word & 1) == 0;
      }
    }
    // Even words are stored in the bitmap as ordinary colour channels.
    EXPECT_TRUE(allEven);
    EXPECT_GT(colours.size(), 50u);
    pictures.insert(memory.patterns[static_cast<std::size_t>(bank)][0]);
  }
  EXPECT_EQ(pictures.size(), static_cast<std::size_t>(kBankCount));
}

TEST(SimDemoContentTest, BankNumberReadsUprightInABitmapViewer) {
  // Pattern row 0 is the bitmap's bottom row. The digit 1 of bank 1 has its
  // foot (a full-width bar of the 5x7 glyph) at the bottom and a single
  // stroke at the top: the bottom glyph row is wider than the top one.
  const SensorMemory memory = DemoMemory();
  const std::uint16_t white = PixelWord(30, 31, 63);
  const auto whiteWidth = [&](int y) {
    int count = 0;
    for (int x = 0; x < kPatternWidth; ++x) count += PatternPixel(memory, 1, x, y) == white;
    return count;
  };
  int bottom = -1;
  int top = -1;
  for (int y = 0; y < kPatternHeight; ++y) {
    if (whiteWidth(y) > 0) {
      if (bottom < 0) bottom = y;
      top = y;
    }
  }
  ASSERT_GE(bottom, 0);
  EXPECT_GT(whiteWidth(bottom), whiteWidth(top));
}

}  // namespace
