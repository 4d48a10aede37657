// Injected faults of the virtual sensor, seen through the link layer: each
// reply fault produces the link failure it stands for.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "tests/support/sim_fixture.h"

using namespace zema::sim;

namespace {

class SimFaultsTest : public SimPortTest {
 protected:
  int Send(const SensorCommand& command, std::uint8_t firstByte = 0) {
    link.xfer.fill(0);
    link.xfer[0] = firstByte;
    return link.Exchange(command).ok() ? 1 : 0;
  }
};

TEST_F(SimFaultsTest, ReplyFaultsGiveTheirLinkFailure) {
  struct Case {
    FaultKind kind;
    SensorCommand command;
    MessageId expected;
  };
  const Case cases[] = {
      {FaultKind::kNoReply, kCmdConfirm, kMsgNoResponse},
      {FaultKind::kCutShort, kCmdReadParamSet, kMsgChecksumError},
      {FaultKind::kCutShort, kCmdConfirm, kMsgChecksumError},
      {FaultKind::kWrongFirstByte, kCmdReadBlock, kMsgInvalidResponse},
      {FaultKind::kBadChecksum, kCmdReadParamSet, kMsgChecksumError},
      {FaultKind::kBadChecksum, kCmdWriteBlock, kMsgChecksumError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << FaultKindName(c.kind) << " on 0x" << std::hex
                                    << int{c.command.code});
    CommandFault fault;
    fault.kind = c.kind;
    fault.code = c.command.code;
    sim.SetFaults({{fault}, HandshakeFault::kNone});
    EXPECT_EQ(Send(c.command), 0);
    EXPECT_EQ(link.lastError.text, LoadMessage(c.expected));
    sim.SetFaults({});
    ComPurgeRx(sim.port());
    EXPECT_EQ(Send(kCmdConfirm), 1) << link.lastError.text;
  }
}

TEST_F(SimFaultsTest, DelayedReplyMissesTheTimeOutButNotALongerOne) {
  CommandFault fault;
  fault.kind = FaultKind::kDelay;
  fault.code = kCmdFlashCommit.code;
  fault.delayMs = 1200;
  sim.AddFault(fault);
  // The flash commit waits 30 s: a late reply is still in time.
  EXPECT_EQ(Send(kCmdFlashCommit, kCompensationSelector), 1) << link.lastError.text;
  // A command with the ordinary 1 s time-out misses it.
  fault.code = kCmdConfirm.code;
  sim.SetFaults({{fault}, HandshakeFault::kNone});
  EXPECT_EQ(Send(kCmdConfirm), 0);
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgNoResponse));
}

TEST_F(SimFaultsTest, NthCommandOnlyIsHit) {
  CommandFault fault;
  fault.kind = FaultKind::kBadChecksum;
  fault.nth = 3;
  sim.AddFault(fault);
  EXPECT_EQ(Send(kCmdConfirm), 1);
  EXPECT_EQ(Send(kCmdReadParamSet, 2), 1);
  EXPECT_EQ(Send(kCmdReadParamSet, 2), 0);
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgChecksumError));
  EXPECT_EQ(Send(kCmdReadParamSet, 2), 1) << link.lastError.text;
}

TEST_F(SimFaultsTest, NthCommandOfACodeCountsThatCodeOnly) {
  CommandFault fault;
  fault.kind = FaultKind::kWrongFirstByte;
  fault.code = kCmdReadBlock.code;
  fault.nth = 2;
  sim.AddFault(fault);
  EXPECT_EQ(Send(kCmdReadBlock, 0), 1);
  EXPECT_EQ(Send(kCmdConfirm), 1);
  EXPECT_EQ(Send(kCmdConfirm), 1);
  EXPECT_EQ(Send(kCmdReadBlock, 1), 0);
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgInvalidResponse));
  EXPECT_EQ(Send(kCmdReadBlock, 2), 1) << link.lastError.text;
}

TEST_F(SimFaultsTest, ReplyFaultsStillCarryOutTheCommand) {
  CommandFault fault;
  fault.kind = FaultKind::kNoReply;
  fault.code = kCmdWriteParamSet.code;
  sim.AddFault(fault);
  link.xfer.fill(0);
  link.xfer[0] = 4;
  link.xfer[1] = 0x34;
  link.xfer[2] = 0x12;
  EXPECT_FALSE(link.Exchange(kCmdWriteParamSet).ok());
  EXPECT_EQ(sim.Memory().params[4][0], 0x1234);
}

TEST_F(SimFaultsTest, HangUpEndsTheLine) {
  CommandFault fault;
  fault.kind = FaultKind::kHangUp;
  fault.nth = 2;
  sim.AddFault(fault);
  EXPECT_EQ(Send(kCmdConfirm), 1);
  EXPECT_EQ(Send(kCmdWriteParamSet, 1), 0);
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgNoResponse));
  EXPECT_TRUE(sim.sensor().lineGone());
  // The line is gone, and the command was never carried out.
  EXPECT_EQ(Send(kCmdConfirm), 0);
  EXPECT_EQ(sim.Memory().params[1][0], DemoParamValue(1, 0));
}

TEST_F(SimFaultsTest, StoreWrongChangesExactlyOneStoredWord) {
  CommandFault fault;
  fault.kind = FaultKind::kStoreWrong;
  sim.AddFault(fault);

  link.xfer.fill(0);
  link.xfer[0] = 6;
  ASSERT_TRUE(link.Exchange(kCmdWriteParamSet).ok()) << link.lastError.text;
  const ParamSet set = sim.Memory().params[6];
  EXPECT_EQ(std::count(set.begin(), set.end(), 0), kParamValuesPerSet - 1);

  const std::uint8_t selector = PatternSelector(2, 1);
  const ImageSlot slot = *ImageForSelector(selector);
  for (int b = 0; b < slot.blockCount; ++b) {
    link.xfer.fill(0);
    link.xfer[0] = static_cast<std::uint8_t>(b);
    ASSERT_TRUE(link.Exchange(kCmdWriteBlock).ok()) << link.lastError.text;
  }
  ASSERT_EQ(Send(kCmdFlashCommit, selector), 1) << link.lastError.text;
  const SensorMemory memory = sim.Memory();
  const auto image = memory.FlashImage(slot);
  std::size_t wrongWords = 0;
  for (std::size_t i = 0; i < image.size() / 2; ++i) wrongWords += WordAt(image, i) != 0;
  EXPECT_EQ(wrongWords, 1u);
}

}  // namespace
