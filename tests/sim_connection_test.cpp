// The virtual sensor's two ways of being reached: the "PC LOAD/SAVE" menu at
// 57600 baud, and a running sensor switched over with the "CPl" handshake at
// its COMMUNIC speed. Driven through the link layer as the loader does.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "tests/support/sim_fixture.h"

using namespace zema::sim;

namespace {

constexpr std::uint32_t SpeedWord(int baudCode) { return 0x100u + static_cast<unsigned>(baudCode); }

// COMMUNIC 1..5 and the LineMode baud codes the loader uses for them.
struct Speed {
  int communic;
  int baudCode;
};
constexpr Speed kSpeeds[] = {{1, 6}, {2, 7}, {3, 9}, {4, 10}, {5, 12}};

SimFixture::Options CommandMode(int communic) {
  SimFixture::Options options;
  options.mode = ConnectionMode::kCommand;
  options.communic = communic;
  return options;
}

// A link on the port as ComOpen leaves it (9600 baud).
class Port {
 public:
  explicit Port(int port) {
    Result<SensorLink> opened = SensorLink::OpenCom(port);
    EXPECT_TRUE(opened.ok());
    link = std::move(opened.value);
  }
  int Confirm() { return link.Exchange(kCmdConfirm).ok() ? 1 : 0; }
  int Resume() { return link.Exchange(kCmdResume).ok() ? 1 : 0; }

  SensorLink link;
};

TEST(SimConnectionTest, HandshakeWorksAtEachCommunicSpeed) {
  for (const Speed& speed : kSpeeds) {
    SCOPED_TRACE(testing::Message() << "COMMUNIC " << speed.communic);
    SimFixture sim(CommandMode(speed.communic));
    Port port(sim.port());
    SensorLink& link = port.link;
    ComSetMode(sim.port(), SpeedWord(speed.baudCode));
    ComPurgeRx(sim.port());
    ASSERT_FALSE(link.EnterPcMode()) << link.lastError.text;
    EXPECT_EQ(sim.sensor().state(), SensorState::kPcCommunication);
    EXPECT_EQ(port.Confirm(), 1) << link.lastError.text;
  }
}

// zema-sim paces its replies unless told not to: sent in bursts against the
// line's clock, they still arrive whole, the handshake's answer included.
TEST(SimConnectionTest, PacedRepliesArriveWhole) {
  for (const Speed& speed : {kSpeeds[0], kSpeeds[4]}) {
    SCOPED_TRACE(testing::Message() << "COMMUNIC " << speed.communic);
    SimFixture::Options options = CommandMode(speed.communic);
    options.pacing = true;
    SimFixture sim(options);
    Port port(sim.port());
    SensorLink& link = port.link;
    ComSetMode(sim.port(), SpeedWord(speed.baudCode));
    ComPurgeRx(sim.port());
    ASSERT_FALSE(link.EnterPcMode()) << link.lastError.text;
    link.xfer[0] = 3;
    ASSERT_TRUE(link.Exchange(kCmdReadParamSet).ok()) << link.lastError.text;
    for (int i = 0; i < kParamValuesPerSet; ++i) {
      EXPECT_EQ(WordAt(link.xfer, static_cast<std::size_t>(i)), DemoParamValue(3, i)) << i;
    }
    link.xfer[0] = 200;
    ASSERT_TRUE(link.Exchange(kCmdReadBlock).ok()) << link.lastError.text;
    const SensorMemory memory = sim.Memory();
    const auto block = memory.TransferBlock(200);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), link.xfer.data()));
  }
}

TEST(SimConnectionTest, HandshakeAtAnotherSpeedIsNotUnderstood) {
  SimFixture sim(CommandMode(3));  // 19200 baud
  Port port(sim.port());
  SensorLink& link = port.link;
  for (const int wrongCode : {7, 12}) {
    SCOPED_TRACE(wrongCode);
    ComSetMode(sim.port(), SpeedWord(wrongCode));
    EXPECT_TRUE(link.EnterPcMode());
    EXPECT_EQ(link.lastError.text, LoadMessage(kMsgNoResponse));
  }
  EXPECT_EQ(sim.sensor().state(), SensorState::kRunning);
  // The right speed still works afterwards.
  ComSetMode(sim.port(), SpeedWord(9));
  EXPECT_FALSE(link.EnterPcMode()) << link.lastError.text;
}

TEST(SimConnectionTest, RunningSensorAnswersNoFramesUntilTheHandshake) {
  SimFixture sim(CommandMode(2));
  Port port(sim.port());
  SensorLink& link = port.link;
  ComSetMode(sim.port(), SpeedWord(7));
  EXPECT_EQ(port.Confirm(), 0);
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgNoResponse));
  ASSERT_FALSE(link.EnterPcMode()) << link.lastError.text;
  EXPECT_EQ(port.Confirm(), 1) << link.lastError.text;
}

TEST(SimConnectionTest, ResumeReturnsARunningSensorToOperation) {
  SimFixture sim(CommandMode(4));
  {
    Port port(sim.port());
    SensorLink& link = port.link;
    ComSetMode(sim.port(), SpeedWord(10));
    ASSERT_FALSE(link.EnterPcMode()) << link.lastError.text;
    ASSERT_EQ(port.Resume(), 1) << link.lastError.text;
    EXPECT_EQ(sim.sensor().state(), SensorState::kRunning);
    EXPECT_EQ(port.Confirm(), 0);
  }
  // The loader closed the port; a new connection goes through the
  // handshake again.
  Port again(sim.port());
  SensorLink& link = again.link;
  ComSetMode(sim.port(), SpeedWord(10));
  ASSERT_FALSE(link.EnterPcMode()) << link.lastError.text;
  EXPECT_EQ(again.Confirm(), 1) << link.lastError.text;
}

TEST(SimConnectionTest, LoaderThatLeftWithoutResumeCanConnectAgain) {
  SimFixture sim(CommandMode(1));
  for (int connection = 0; connection < 2; ++connection) {
    SCOPED_TRACE(connection);
    Port port(sim.port());
    SensorLink& link = port.link;
    ComSetMode(sim.port(), SpeedWord(6));
    ASSERT_FALSE(link.EnterPcMode()) << link.lastError.text;
    EXPECT_EQ(port.Confirm(), 1) << link.lastError.text;
  }
}

TEST(SimConnectionTest, MenuAnswersAt57600AndStaysInTheMenuAfterResume) {
  SimFixture sim;
  for (int connection = 0; connection < 2; ++connection) {
    SCOPED_TRACE(connection);
    Port port(sim.port());
    SensorLink& link = port.link;
    // A port fresh from ComOpen runs at 9600: not understood.
    EXPECT_EQ(port.Confirm(), 0);
    EXPECT_EQ(link.lastError.text, LoadMessage(kMsgNoResponse));
    ComSetMode(sim.port(), kLineMode57600NoParity);
    EXPECT_EQ(port.Confirm(), 1) << link.lastError.text;
    EXPECT_EQ(port.Resume(), 1) << link.lastError.text;
    EXPECT_EQ(sim.sensor().state(), SensorState::kMenu);
  }
}

TEST(SimConnectionTest, HandshakeToTheMenuIsRefusedWithNak) {
  SimFixture sim;
  Port port(sim.port());
  SensorLink& link = port.link;
  ComSetMode(sim.port(), kLineMode57600NoParity);
  EXPECT_TRUE(link.EnterPcMode());
  EXPECT_EQ(link.lastError.text, LoadMessage(kMsgSensorGotInvalidData));
  // The operator's "Yes, the sensor shows PC LOAD/SAVE" path goes on with 0x88.
  EXPECT_EQ(port.Confirm(), 1) << link.lastError.text;
}

TEST(SimConnectionTest, HandshakeFaults) {
  struct Case {
    HandshakeFault fault;
    MessageId expected;
  };
  for (const Case& c : {Case{HandshakeFault::kNak, kMsgSensorGotInvalidData},
                        Case{HandshakeFault::kSilence, kMsgNoResponse}}) {
    SimFixture sim(CommandMode(5));
    sim.SetHandshakeFault(c.fault);
    Port port(sim.port());
    SensorLink& link = port.link;
    ComSetMode(sim.port(), SpeedWord(12));
    EXPECT_TRUE(link.EnterPcMode());
    EXPECT_EQ(link.lastError.text, LoadMessage(c.expected));
    EXPECT_EQ(sim.sensor().state(), SensorState::kRunning);
  }
}

TEST(SimConnectionTest, PortMayBeOpenedAndClosedRepeatedly) {
  SimFixture sim;
  for (int i = 0; i < 5; ++i) {
    Port port(sim.port());
    SensorLink& link = port.link;
    ComSetMode(sim.port(), kLineMode57600NoParity);
    ASSERT_EQ(port.Confirm(), 1) << "connection " << i << ": " << link.lastError.text;
  }
}

}  // namespace
