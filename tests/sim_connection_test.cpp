// The virtual sensor's two ways of being reached: the "PC LOAD/SAVE" menu at
// 57600 baud, and a running sensor switched over with the "CPl" handshake at
// its COMMUNIC speed. Driven through the link layer as the loader does.
#include <gtest/gtest.h>

#include <algorithm>

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

class Port {
 public:
  explicit Port(int port) : port_(port) {
    EXPECT_EQ(ComOpen(port_, 512, 512), kOpenOk);
  }
  ~Port() { ComClose(port_); }
  int Confirm() { return Exchange(port_, kCmdConfirm); }
  int Resume() { return Exchange(port_, kCmdResume); }

 private:
  int port_;
};

TEST(SimConnectionTest, HandshakeWorksAtEachCommunicSpeed) {
  for (const Speed& speed : kSpeeds) {
    SCOPED_TRACE(testing::Message() << "COMMUNIC " << speed.communic);
    SimFixture sim(CommandMode(speed.communic));
    Port port(sim.port());
    ComSetMode(sim.port(), SpeedWord(speed.baudCode));
    ComPurgeRx(sim.port());
    ASSERT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
    EXPECT_EQ(sim.sensor().state(), SensorState::kPcCommunication);
    EXPECT_EQ(port.Confirm(), 1) << g_lastError;
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
    ComSetMode(sim.port(), SpeedWord(speed.baudCode));
    ComPurgeRx(sim.port());
    ASSERT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
    g_xfer[0] = 3;
    ASSERT_EQ(Exchange(sim.port(), kCmdReadParamSet), 1) << g_lastError;
    for (int i = 0; i < kParamValuesPerSet; ++i) {
      EXPECT_EQ(WordAt(g_xfer, static_cast<std::size_t>(i)), DemoParamValue(3, i)) << i;
    }
    g_xfer[0] = 200;
    ASSERT_EQ(Exchange(sim.port(), kCmdReadBlock), 1) << g_lastError;
    const SensorMemory memory = sim.Memory();
    const auto block = memory.TransferBlock(200);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), g_xfer));
  }
}

TEST(SimConnectionTest, HandshakeAtAnotherSpeedIsNotUnderstood) {
  SimFixture sim(CommandMode(3));  // 19200 baud
  Port port(sim.port());
  for (const int wrongCode : {7, 12}) {
    SCOPED_TRACE(wrongCode);
    ComSetMode(sim.port(), SpeedWord(wrongCode));
    EXPECT_EQ(EnterPcMode(sim.port()), 0);
    EXPECT_EQ(g_lastError, LoadMessage(kMsgNoResponse));
  }
  EXPECT_EQ(sim.sensor().state(), SensorState::kRunning);
  // The right speed still works afterwards.
  ComSetMode(sim.port(), SpeedWord(9));
  EXPECT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
}

TEST(SimConnectionTest, RunningSensorAnswersNoFramesUntilTheHandshake) {
  SimFixture sim(CommandMode(2));
  Port port(sim.port());
  ComSetMode(sim.port(), SpeedWord(7));
  EXPECT_EQ(port.Confirm(), 0);
  EXPECT_EQ(g_lastError, LoadMessage(kMsgNoResponse));
  ASSERT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
  EXPECT_EQ(port.Confirm(), 1) << g_lastError;
}

TEST(SimConnectionTest, ResumeReturnsARunningSensorToOperation) {
  SimFixture sim(CommandMode(4));
  {
    Port port(sim.port());
    ComSetMode(sim.port(), SpeedWord(10));
    ASSERT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
    ASSERT_EQ(port.Resume(), 1) << g_lastError;
    EXPECT_EQ(sim.sensor().state(), SensorState::kRunning);
    EXPECT_EQ(port.Confirm(), 0);
  }
  // The loader closed the port; a new connection goes through the
  // handshake again.
  Port again(sim.port());
  ComSetMode(sim.port(), SpeedWord(10));
  ASSERT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
  EXPECT_EQ(again.Confirm(), 1) << g_lastError;
}

TEST(SimConnectionTest, LoaderThatLeftWithoutResumeCanConnectAgain) {
  SimFixture sim(CommandMode(1));
  for (int connection = 0; connection < 2; ++connection) {
    SCOPED_TRACE(connection);
    Port port(sim.port());
    ComSetMode(sim.port(), SpeedWord(6));
    ASSERT_EQ(EnterPcMode(sim.port()), 1) << g_lastError;
    EXPECT_EQ(port.Confirm(), 1) << g_lastError;
  }
}

TEST(SimConnectionTest, MenuAnswersAt57600AndStaysInTheMenuAfterResume) {
  SimFixture sim;
  for (int connection = 0; connection < 2; ++connection) {
    SCOPED_TRACE(connection);
    Port port(sim.port());
    // A port fresh from ComOpen runs at 9600: not understood.
    EXPECT_EQ(port.Confirm(), 0);
    EXPECT_EQ(g_lastError, LoadMessage(kMsgNoResponse));
    ComSetMode(sim.port(), kLineMode57600NoParity);
    EXPECT_EQ(port.Confirm(), 1) << g_lastError;
    EXPECT_EQ(port.Resume(), 1) << g_lastError;
    EXPECT_EQ(sim.sensor().state(), SensorState::kMenu);
  }
}

TEST(SimConnectionTest, HandshakeToTheMenuIsRefusedWithNak) {
  SimFixture sim;
  Port port(sim.port());
  ComSetMode(sim.port(), kLineMode57600NoParity);
  EXPECT_EQ(EnterPcMode(sim.port()), 0);
  EXPECT_EQ(g_lastError, LoadMessage(kMsgSensorGotInvalidData));
  // The operator's "Yes, the sensor shows PC LOAD/SAVE" path goes on with 0x88.
  EXPECT_EQ(port.Confirm(), 1) << g_lastError;
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
    ComSetMode(sim.port(), SpeedWord(12));
    EXPECT_EQ(EnterPcMode(sim.port()), 0);
    EXPECT_EQ(g_lastError, LoadMessage(c.expected));
    EXPECT_EQ(sim.sensor().state(), SensorState::kRunning);
  }
}

TEST(SimConnectionTest, PortMayBeOpenedAndClosedRepeatedly) {
  SimFixture sim;
  for (int i = 0; i < 5; ++i) {
    Port port(sim.port());
    ComSetMode(sim.port(), kLineMode57600NoParity);
    ASSERT_EQ(port.Confirm(), 1) << "connection " << i << ": " << g_lastError;
  }
}

}  // namespace
