// The virtual sensor through this project's own link layer on a pty: every
// command answers, and what was stored reads back unchanged.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "tests/support/sim_fixture.h"

using namespace zema::sim;

namespace {

class SimLinkTest : public SimPortTest {
 protected:
  // One exchange with `payload` placed in link.xfer.data() first.
  int Send(const SensorCommand& command, const std::vector<std::uint8_t>& payload = {}) {
    link.xfer.fill(0);
    std::copy(payload.begin(), payload.end(), link.xfer.data());
    return link.Exchange(command).ok() ? 1 : 0;
  }

  std::vector<std::uint8_t> ReadBlock(int block) {
    EXPECT_EQ(Send(kCmdReadBlock, {static_cast<std::uint8_t>(block)}), 1) << link.lastError.text;
    return {link.xfer.data(), link.xfer.data() + kBlockBytes};
  }

  void WriteBlock(int block, const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> payload{static_cast<std::uint8_t>(block)};
    payload.insert(payload.end(), bytes.begin(), bytes.end());
    ASSERT_EQ(Send(kCmdWriteBlock, payload), 1) << link.lastError.text;
  }

  // Reads a whole stored image out, as the loader's READ does.
  std::vector<std::uint8_t> ReadImage(const ImageSlot& slot, std::uint8_t selector) {
    EXPECT_EQ(Send(kCmdSelectImage, {selector}), 1) << link.lastError.text;
    std::vector<std::uint8_t> image;
    for (int b = slot.firstBlock; b < slot.firstBlock + slot.blockCount; ++b) {
      const auto block = ReadBlock(b);
      image.insert(image.end(), block.begin(), block.end());
    }
    return image;
  }

  static std::vector<std::uint8_t> RandomBytes(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
  }
};

TEST_F(SimLinkTest, EveryCommandIsAcknowledged) {
  struct Case {
    SensorCommand command;
    std::vector<std::uint8_t> payload;
  };
  const Case cases[] = {
      {kCmdConfirm, {}},
      {kCmdReadParamSet, {15}},
      {kCmdWriteParamSet, std::vector<std::uint8_t>(65, 0)},
      {kCmdSelectImage, {kCompensationSelector}},
      {kCmdReadBlock, {200}},
      {kCmdWriteBlock, std::vector<std::uint8_t>(257, 0x5A)},
      {kCmdFlashCommit, {PatternSelector(14, 1)}},
      {kCmdResume, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "command 0x" << std::hex << int{c.command.code});
    EXPECT_EQ(Send(c.command, c.payload), 1) << link.lastError.text;
  }
}

TEST_F(SimLinkTest, ParameterSetsReadBackAsWritten) {
  for (int set : {0, 7, 14, kCommonSlot}) {
    SCOPED_TRACE(set);
    std::vector<std::uint8_t> payload{static_cast<std::uint8_t>(set)};
    const auto values = RandomBytes(kParamSetBytes, static_cast<unsigned>(set));
    payload.insert(payload.end(), values.begin(), values.end());
    ASSERT_EQ(Send(kCmdWriteParamSet, payload), 1) << link.lastError.text;

    ASSERT_EQ(Send(kCmdReadParamSet, {static_cast<std::uint8_t>(set)}), 1) << link.lastError.text;
    EXPECT_EQ(std::vector<std::uint8_t>(link.xfer.data(), link.xfer.data() + kParamSetBytes),
              values);
    EXPECT_EQ(sim.Memory().params[static_cast<std::size_t>(set)][0],
              values[0] | values[1] << 8);
  }
  // Sets not written keep their own values.
  EXPECT_EQ(sim.Memory().params[3][5], DemoParamValue(3, 5));
}

TEST_F(SimLinkTest, CommittedImagesReadBackAsWritten) {
  for (const std::uint8_t selector :
       {kCompensationSelector, PatternSelector(0, 0), PatternSelector(9, 1)}) {
    SCOPED_TRACE(int{selector});
    const ImageSlot slot = *ImageForSelector(selector);
    const auto image = RandomBytes(static_cast<std::size_t>(slot.blockCount) * kBlockBytes,
                                   selector);
    for (int i = 0; i < slot.blockCount; ++i) {
      WriteBlock(slot.firstBlock + i,
                 {image.begin() + i * kBlockBytes, image.begin() + (i + 1) * kBlockBytes});
    }
    ASSERT_EQ(Send(kCmdFlashCommit, {selector}), 1) << link.lastError.text;

    // Load another image in between, so the read-back really comes from flash.
    ASSERT_EQ(Send(kCmdSelectImage, {PatternSelector(3, 0)}), 1) << link.lastError.text;
    EXPECT_EQ(ReadImage(slot, selector), image);
    const SensorMemory memory = sim.Memory();
    const auto stored = memory.FlashImage(slot);
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), image.begin(), image.end()));
  }
}

TEST_F(SimLinkTest, BlocksWithoutCommitLeaveFlashUnchanged) {
  const std::uint8_t selector = PatternSelector(4, 0);
  const ImageSlot slot = *ImageForSelector(selector);
  const SensorMemory before = sim.Memory();
  ASSERT_EQ(Send(kCmdSelectImage, {selector}), 1);
  for (int b : {0, 1, 128, 255}) WriteBlock(b, std::vector<std::uint8_t>(kBlockBytes, 0xEE));

  // The transfer area holds the new blocks...
  EXPECT_EQ(ReadBlock(128), std::vector<std::uint8_t>(kBlockBytes, 0xEE));
  // ...but loading the image again brings back what flash holds.
  const auto image = ReadImage(slot, selector);
  const auto flash = before.FlashImage(slot);
  EXPECT_TRUE(std::equal(image.begin(), image.end(), flash.begin(), flash.end()));
  const SensorMemory after = sim.Memory();
  EXPECT_EQ(after.patterns, before.patterns);
  EXPECT_EQ(after.compensation, before.compensation);
}

TEST_F(SimLinkTest, LoadingTheTableLeavesTheOtherBlocksOfTheAreaAlone) {
  WriteBlock(10, std::vector<std::uint8_t>(kBlockBytes, 0x42));
  ASSERT_EQ(Send(kCmdSelectImage, {kCompensationSelector}), 1);
  EXPECT_EQ(ReadBlock(10), std::vector<std::uint8_t>(kBlockBytes, 0x42));
  // Block 160 carries the table: its first 16 samples are zero words.
  const auto first = ReadBlock(kCompensationFirstBlock);
  EXPECT_EQ(std::vector<std::uint8_t>(first.begin(), first.begin() + 32),
            std::vector<std::uint8_t>(32, 0));
}

// Frames the sensor must refuse, sent raw; each is answered with NAK, which
// the link layer reports as an invalid response, and the sensor then takes
// the next good frame.
TEST_F(SimLinkTest, GarbledFramesAreRefusedWithNakAndTheLineRecovers) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
  };
  const Case cases[] = {
      {"wrong checksum", {0x81, 0x03, 0x00}},
      {"unknown code", {0x89, 0x76}},
      {"garbage", {0x12, 0x34, 0x56, 0x78, 0x9A}},
      {"unknown selector", {0x85, 0x03, 0x77}},
      {"selector past the last bank", {0x86, 64, static_cast<std::uint8_t>(0xFF - 0x86 - 64)}},
      {"set index 16", {0x81, 16, static_cast<std::uint8_t>(0xFF - 0x81 - 16)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComWrite(sim.port(), c.bytes.data(), static_cast<int>(c.bytes.size()));
    std::uint8_t reply[4] = {};
    ComSetReadTimeout(sim.port(), 1000);
    ASSERT_EQ(ComRead(sim.port(), reply, 1), 1);
    EXPECT_EQ(reply[0], kNak);
    EXPECT_EQ(Send(kCmdConfirm), 1) << link.lastError.text;
  }
}

TEST_F(SimLinkTest, NakReachesTheLoaderAsInvalidResponse) {
  EXPECT_EQ(Send(kCmdSelectImage, {5}), 0);
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgInvalidResponse));
}

TEST_F(SimLinkTest, FrameCutShortGetsNoAnswer) {
  const std::uint8_t partial[] = {0x84, 0x00, 0x01, 0x02};
  ComWrite(sim.port(), partial, sizeof partial);
  std::uint8_t byte = 0;
  ComSetReadTimeout(sim.port(), 400);
  EXPECT_EQ(ComRead(sim.port(), &byte, 1), 0);
  // Abandoned after the pause: the next frame is understood.
  EXPECT_EQ(Send(kCmdConfirm), 1) << link.lastError.text;
}

}  // namespace
