// Framing, replies and the PC-mode handshake over a real pseudo-terminal.
#include "link/packet.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "link/frame_trace.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "tests/support/pty_peer.h"

namespace {

class PacketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Result<SensorLink> opened = SensorLink::OpenCom(peer.port());
    ASSERT_TRUE(opened.ok());
    link = std::move(opened.value);
  }

  Bytes Sent(std::size_t count) {
    EXPECT_TRUE(peer.WaitForReceived(count));
    return peer.Received();
  }

  PtyPeer peer;
  SensorLink link;
};

TEST_F(PacketTest, FramesCarryTheComplementOfTheSum) {
  SendPacket(link, 0x87, nullptr, 0);
  SendPacket(link, 0x88, nullptr, 0);
  const std::uint8_t payload[] = {0x02, 0xFF, 0x10};
  SendPacket(link, 0x84, payload, 3);
  // 0x84 + 0x02 + 0xFF + 0x10 = 0x195 -> sum 0x95 -> checksum 0x6A
  EXPECT_EQ(Sent(9), (Bytes{0x87, 0x78, 0x88, 0x77, 0x84, 0x02, 0xFF, 0x10, 0x6A}));
}

TEST_F(PacketTest, LongestCommandIsOneFrame) {
  for (int i = 0; i < 257; ++i) link.xfer[i] = static_cast<std::uint8_t>(i * 7);
  peer.ReplyAfter(259, AckReply());
  ASSERT_TRUE(link.Exchange(kCmdWriteBlock).ok()) << link.lastError.text;
  Bytes sent = Sent(259);
  ASSERT_EQ(sent.size(), 259u);
  EXPECT_EQ(sent[0], 0x84);
  EXPECT_EQ(sent[258], FrameChecksum(Bytes(sent.begin(), sent.end() - 1)));
}

TEST_F(PacketTest, ValidRepliesAreAccepted) {
  peer.ReplyAfter(2, {0x06, 0xF9});
  link.xfer[0] = 0;
  EXPECT_TRUE(link.Exchange(kCmdConfirm).ok());

  Bytes set(64);
  for (std::size_t i = 0; i < set.size(); ++i) set[i] = static_cast<std::uint8_t>(0xFF - i);
  peer.ReplyAfter(5, AckReply(set));
  link.xfer[0] = 3;
  ASSERT_TRUE(link.Exchange(kCmdReadParamSet).ok()) << link.lastError.text;
  EXPECT_EQ(Bytes(link.xfer.begin(), link.xfer.begin() + 64), set);
  EXPECT_EQ(Sent(5), (Bytes{0x88, 0x77, 0x81, 0x03, FrameChecksum(Bytes{0x81, 0x03})}));
}

// The trace hook sees what went over the line from the program's side,
// failures included, and the driver counts every byte moved.
TEST_F(PacketTest, TheTraceHookAndTheByteCountSeeEveryExchange) {
  std::vector<std::string> lines;
  SetFrameTraceHook([&](const char* direction, std::span<const std::uint8_t> bytes,
                        const std::string& meaning) {
    lines.push_back(TraceLine(direction, bytes, meaning));
  });
  const std::uint64_t before = ComBytesMoved();
  peer.ReplyAfter(2, {0x06, 0xF9});
  EXPECT_TRUE(link.Exchange(kCmdConfirm).ok());
  peer.ReplyAfter(4, {0x06, 0xF8});
  EXPECT_FALSE(link.Exchange(kCmdResume).ok());
  peer.ReplyAfter(7, {0x06, 0x03});
  EXPECT_TRUE(link.EnterPcMode());  // ACK, then no STX
  link.xfer[0] = 6;
  peer.ReplyAfter(10, AckReply());
  EXPECT_TRUE(link.Exchange(kCmdSelectImage).ok());
  SetFrameTraceHook(nullptr);
  EXPECT_EQ(ComBytesMoved() - before, 2u + 2 + 2 + 2 + 3 + 2 + 3 + 2);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "PC -> ZEMA  88 77  confirm link",
                       "ZEMA -> PC  06 F9  ACK",
                       "PC -> ZEMA  87 78  leave PC communication",
                       "ZEMA -> PC  06 F8  checksum wrong",
                       "PC -> ZEMA  43 50 6C  PC communication request \"CPl\"",
                       "ZEMA -> PC  06 03  " + LoadMessage(kMsgFailedToSecureMode),
                       "PC -> ZEMA  85 06 74  load image 6 (bank 0, section 1)",
                       "ZEMA -> PC  06 F9  ACK",
                   }));
}

struct BadReplyCase {
  const char* name;
  Bytes reply;
  int replyLength;
  int message;
  std::string detail;  // after the device's path; what to look at
};

TEST_F(PacketTest, BadRepliesReportTheirMessageAndWhatToCheck) {
  Bytes goodSet = AckReply(Bytes(4, 0x11));
  Bytes wrongSum = goodSet;
  wrongSum.back() ^= 0x01;
  const BadReplyCase cases[] = {
      {"nothing", {}, 0, kMsgNoResponse,
       ": no reply within 50 ms; check that the sensor shows its \"PC LOAD/SAVE\" menu"},
      {"NAK", {0x15, 0xEA}, 0, kMsgInvalidResponse, ""},
      {"garbage", {0x41, 0x42, 0x43}, 0, kMsgInvalidResponse, ""},
      {"wrong checksum", wrongSum, 4, kMsgChecksumError,
       ": 6 of 6 bytes of the reply arrived, but their checksum is wrong"},
      {"cut short", Bytes(goodSet.begin(), goodSet.begin() + 3), 4, kMsgChecksumError,
       ": 3 of 6 bytes of the reply arrived (the sensor stopped sending"},
      {"ACK only", {0x06}, 0, kMsgChecksumError, ": 1 of 2 bytes of the reply arrived"},
  };
  ComSetReadTimeout(peer.port(), 50);
  for (const BadReplyCase& c : cases) {
    SCOPED_TRACE(c.name);
    ComPurgeRx(peer.port());
    link.lastError = {};
    if (!c.reply.empty()) peer.SendNow(c.reply);
    std::uint8_t buffer[8];
    EXPECT_TRUE(ReceiveReply(link, buffer, c.replyLength, 50));
    EXPECT_EQ(link.lastError.text, LoadMessage(c.message));
    const std::string detail = c.detail.empty() ? "" : ComDevicePath(peer.port()) + c.detail;
    EXPECT_EQ(link.lastError.detail.substr(0, detail.size()), detail);
  }
}

TEST_F(PacketTest, WrongChecksumStillHandsOverThePayload) {
  Bytes reply = AckReply({0xAB, 0xCD});
  reply.back() ^= 0xFF;
  peer.SendNow(reply);
  std::uint8_t buffer[2] = {};
  EXPECT_TRUE(ReceiveReply(link, buffer, 2, 1000));
  EXPECT_EQ(buffer[0], 0xAB);
  EXPECT_EQ(buffer[1], 0xCD);
}

TEST_F(PacketTest, ReplyTimeOutStaysSetForLaterReads) {
  // ReceiveReply leaves its time-out on the port; a silent line then makes a
  // plain read wait that long, and no longer.
  std::uint8_t buffer[1];
  EXPECT_TRUE(ReceiveReply(link, buffer, 0, 30));
  EXPECT_EQ(ComRead(peer.port(), buffer, 1), 0);
}

struct HandshakeCase {
  const char* name;
  Bytes reply;
  int result;
  int message;  // 0: success
};

TEST_F(PacketTest, HandshakeOutcomes) {
  const HandshakeCase cases[] = {
      {"ACK STX", {0x06, 0x02}, 1, 0},
      {"stray bytes, then ACK STX", {0x41, 0x42, 0x06, 0x02}, 1, 0},
      {"silence", {}, 0, kMsgNoResponse},
      {"NAK", {0x15, 0x06, 0x02}, 0, kMsgSensorGotInvalidData},
      {"stray byte with one byte after it", {0x41, 0x06}, 0, kMsgInvalidResponse},
      {"ACK alone", {0x06}, 0, kMsgModeNotSecured},
      {"ACK then something else", {0x06, 0x03}, 0, kMsgFailedToSecureMode},
  };
  ComSetReadTimeout(peer.port(), 100);
  std::size_t sent = 0;
  for (const HandshakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    ComPurgeRx(peer.port());
    sent += 3;
    if (!c.reply.empty()) peer.ReplyAfter(sent, c.reply);
    const std::optional<Failure> failure = link.EnterPcMode();
    EXPECT_EQ(failure ? 0 : 1, c.result);
    EXPECT_EQ(failure.value_or(Failure{}).text,
              c.message == 0 ? std::string() : LoadMessage(c.message));
    Bytes wire = Sent(sent);
    EXPECT_EQ(Bytes(wire.end() - 3, wire.end()), (Bytes{'C', 'P', 'l'}));
    if (c.message == kMsgSensorGotInvalidData) {
      EXPECT_EQ(ComRxCount(peer.port()), 0) << "NAK must purge what followed it";
    }
  }
}

}  // namespace
