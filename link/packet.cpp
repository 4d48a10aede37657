#include "link/packet.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "link/frame_trace.h"
#include "link/serial_port.h"
#include "res/messages.h"

std::uint8_t g_xfer[kMaxPayload];

namespace {

// A line that went away is named under any failure it caused: its replies
// end short or never come.
void Fail(int port, int messageId) { SetLastError(messageId, {}, ComLineGoneDetail(port)); }

// Silence has few causes; the detail line names the device and what to
// look at, unless the line has gone away. A read may end in silence on a
// line that hung up meanwhile (Wine reports a hung-up terminal as no data),
// so the driver is asked once more whether the device is still there.
void FailNoReply(int port, int timeoutMs) {
  ComRxCount(port);
  if (!ComLineGoneDetail(port).empty()) return Fail(port, kMsgNoResponse);
  SetLastError(kMsgNoResponse, std::string(),
               ComDevicePath(port) + ": no reply within " + std::to_string(timeoutMs) +
                   " ms; check that the sensor shows its \"PC LOAD/SAVE\" menu (in command "
                   "mode: that its COMMUNIC speed is the one chosen) and that the cable is "
                   "plugged in at both ends");
}

// How much of the reply came tells a cut line from a garbled one.
void FailChecksum(int port, int received, int expected) {
  ComRxCount(port);
  if (!ComLineGoneDetail(port).empty()) return Fail(port, kMsgChecksumError);
  const std::string counts = std::to_string(received) + " of " + std::to_string(expected);
  SetLastError(kMsgChecksumError, std::string(),
               ComDevicePath(port) + ": " + counts + " bytes of the reply arrived" +
                   (received < expected ? " (the sensor stopped sending, or the cable is loose)"
                                        : ", but their checksum is wrong (noise on the line)"));
}

void TraceReceived(std::span<const std::uint8_t> bytes, const char* meaning) {
  if (const FrameTraceHook& trace = FrameTrace()) trace(kTraceToPc, bytes, meaning);
}

}  // namespace

std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytesBeforeChecksum) {
  std::uint8_t sum = 0;
  for (std::uint8_t b : bytesBeforeChecksum) sum = static_cast<std::uint8_t>(sum + b);
  return static_cast<std::uint8_t>(0xFF - sum);
}

void SendPacket(int port, std::uint8_t code, const std::uint8_t* payload, int length) {
  length = std::clamp(length, 0, kMaxPayload);
  std::array<std::uint8_t, kMaxPayload + 2> frame{};
  frame[0] = code;
  if (length > 0) std::copy(payload, payload + length, frame.begin() + 1);
  const auto checked = static_cast<std::size_t>(length + 1);
  frame[checked] = FrameChecksum({frame.data(), checked});
  const std::span<const std::uint8_t> bytes(frame.data(), static_cast<std::size_t>(length + 2));
  if (const FrameTraceHook& trace = FrameTrace()) trace(kTraceFromPc, bytes, DescribeCommand(bytes));
  ComWrite(port, frame.data(), length + 2);
}

int ReceiveReply(int port, std::uint8_t* buffer, int length, int timeoutMs) {
  length = std::clamp(length, 0, kMaxPayload);
  ComSetReadTimeout(port, timeoutMs);
  std::array<std::uint8_t, kMaxPayload + 2> reply{};
  const int received = ComRead(port, reply.data(), length + 2);
  const std::span<const std::uint8_t> arrived(reply.data(), static_cast<std::size_t>(received));
  if (received == 0) {
    TraceReceived(arrived, "(no reply)");
    FailNoReply(port, timeoutMs);
    return 0;
  }
  if (reply[0] != kAck) {
    TraceReceived(arrived, "not ACK");
    Fail(port, kMsgInvalidResponse);
    return 0;
  }
  // The payload is handed over even when the checksum then fails; bytes a
  // short reply never delivered are not invented.
  const int delivered = std::min(length, received - 1);
  std::copy(reply.begin() + 1, reply.begin() + 1 + delivered, buffer);
  const auto checked = static_cast<std::size_t>(length + 1);
  if (received < length + 2 || reply[checked] != FrameChecksum({reply.data(), checked})) {
    TraceReceived(arrived, received < length + 2 ? "reply cut short" : "checksum wrong");
    FailChecksum(port, received, length + 2);
    return 0;
  }
  if (FrameTrace()) TraceReceived(arrived, DescribeAck(static_cast<std::size_t>(length)).c_str());
  return 1;
}

namespace {

// The handshake's steps; every byte read is kept for the trace.
int HandshakeSteps(int port, std::vector<std::uint8_t>& arrived) {
  std::uint8_t byte = 0;
  const auto readByte = [&] {
    if (ComRead(port, &byte, 1) == 0) return false;
    arrived.push_back(byte);
    return true;
  };
  ComWrite(port, kPcModeRequest, kPcModeRequestLength);
  if (!readByte()) {
    FailNoReply(port, kOpenTimeoutMs);
    return 0;
  }
  if (byte == kNak) {
    Fail(port, kMsgSensorGotInvalidData);
    ComPurgeRx(port);
    return 0;
  }
  // Stray bytes before the ACK are skipped while at least two more wait:
  // the ACK and the STX after it.
  while (byte != kAck) {
    if (ComRxCount(port) < 2 || !readByte()) {
      Fail(port, kMsgInvalidResponse);
      return 0;
    }
  }
  if (!readByte()) {
    Fail(port, kMsgModeNotSecured);
    return 0;
  }
  if (byte == kStx) return 1;
  Fail(port, kMsgFailedToSecureMode);
  return 0;
}

}  // namespace

int EnterPcMode(int port) {
  const FrameTraceHook& trace = FrameTrace();
  if (trace) {
    trace(kTraceFromPc,
          {reinterpret_cast<const std::uint8_t*>(kPcModeRequest), kPcModeRequestLength},
          kTraceHandshakeRequest);
  }
  std::vector<std::uint8_t> arrived;
  const int result = HandshakeSteps(port, arrived);
  if (trace) {
    trace(kTraceToPc, arrived, result == 1 ? kTraceHandshakeAccepted : g_lastError);
  }
  return result;
}

void SendCommand(int port, const SensorCommand& command) {
  ComPurgeRx(port);
  SendPacket(port, command.code, g_xfer, command.payloadLength);
}

int Exchange(int port, const SensorCommand& command) {
  SendCommand(port, command);
  return ReceiveReply(port, g_xfer, command.replyLength, command.timeoutMs);
}
