#include "link/packet.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "link/frame_trace.h"
#include "link/serial_port.h"
#include "res/messages.h"

namespace {

// A line that went away is named under any failure it caused: its replies
// end short or never come.
Failure Fail(SensorLink& link, int messageId) {
  return link.Fail(MessageFailure(messageId, {}, link.Port().LineGoneDetail()));
}

// Silence has few causes; the detail line names the device and what to
// look at, unless the line has gone away. A read may end in silence on a
// line that hung up meanwhile (Wine reports a hung-up terminal as no data),
// so the driver is asked once more whether the device is still there.
Failure FailNoReply(SensorLink& link, int timeoutMs) {
  link.Port().Waiting();
  if (!link.Port().LineGoneDetail().empty()) return Fail(link, kMsgNoResponse);
  return link.Fail(
      MessageFailure(kMsgNoResponse, std::string(),
                     link.Port().Device() + ": no reply within " + std::to_string(timeoutMs) +
                         " ms; check that the sensor shows its \"PC LOAD/SAVE\" menu (in command "
                         "mode: that its COMMUNIC speed is the one chosen) and that the cable is "
                         "plugged in at both ends"));
}

// How much of the reply came tells a cut line from a garbled one.
Failure FailChecksum(SensorLink& link, int received, int expected) {
  link.Port().Waiting();
  if (!link.Port().LineGoneDetail().empty()) return Fail(link, kMsgChecksumError);
  const std::string counts = std::to_string(received) + " of " + std::to_string(expected);
  return link.Fail(MessageFailure(
      kMsgChecksumError, std::string(),
      link.Port().Device() + ": " + counts + " bytes of the reply arrived" +
          (received < expected ? " (the sensor stopped sending, or the cable is loose)"
                               : ", but their checksum is wrong (noise on the line)")));
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

void SendPacket(SensorLink& link, std::uint8_t code, const std::uint8_t* payload, int length) {
  length = std::clamp(length, 0, kMaxPayload);
  std::array<std::uint8_t, kMaxPayload + 2> frame{};
  frame[0] = code;
  if (length > 0) std::copy(payload, payload + length, frame.begin() + 1);
  const auto checked = static_cast<std::size_t>(length + 1);
  frame[checked] = FrameChecksum({frame.data(), checked});
  const std::span<const std::uint8_t> bytes(frame.data(), static_cast<std::size_t>(length + 2));
  if (const FrameTraceHook& trace = FrameTrace()) trace(kTraceFromPc, bytes, DescribeCommand(bytes));
  link.Port().Write(frame.data(), length + 2);
}

std::optional<Failure> ReceiveReply(SensorLink& link, std::uint8_t* buffer, int length,
                                    int timeoutMs) {
  length = std::clamp(length, 0, kMaxPayload);
  link.Port().SetReadTimeouts(timeoutMs, timeoutMs);
  std::array<std::uint8_t, kMaxPayload + 2> reply{};
  const int received = link.Port().Read(reply.data(), length + 2);
  const std::span<const std::uint8_t> arrived(reply.data(), static_cast<std::size_t>(received));
  if (received == 0) {
    TraceReceived(arrived, "(no reply)");
    return FailNoReply(link, timeoutMs);
  }
  if (reply[0] != kAck) {
    TraceReceived(arrived, "not ACK");
    return Fail(link, kMsgInvalidResponse);
  }
  // The payload is handed over even when the checksum then fails; bytes a
  // short reply never delivered are not invented.
  const int delivered = std::min(length, received - 1);
  std::copy(reply.begin() + 1, reply.begin() + 1 + delivered, buffer);
  const auto checked = static_cast<std::size_t>(length + 1);
  if (received < length + 2 || reply[checked] != FrameChecksum({reply.data(), checked})) {
    TraceReceived(arrived, received < length + 2 ? "reply cut short" : "checksum wrong");
    return FailChecksum(link, received, length + 2);
  }
  if (FrameTrace()) TraceReceived(arrived, DescribeAck(static_cast<std::size_t>(length)).c_str());
  return std::nullopt;
}

namespace {

// The handshake's steps; every byte read is kept for the trace.
std::optional<Failure> HandshakeSteps(SensorLink& link, std::vector<std::uint8_t>& arrived) {
  PortBackend& port = link.Port();
  std::uint8_t byte = 0;
  const auto readByte = [&] {
    if (port.Read(&byte, 1) == 0) return false;
    arrived.push_back(byte);
    return true;
  };
  port.Write(kPcModeRequest, kPcModeRequestLength);
  if (!readByte()) return FailNoReply(link, kOpenTimeoutMs);
  if (byte == kNak) {
    Failure failure = Fail(link, kMsgSensorGotInvalidData);
    port.PurgeInput();
    return failure;
  }
  // Stray bytes before the ACK are skipped while at least two more wait:
  // the ACK and the STX after it.
  while (byte != kAck) {
    if (port.Waiting() < 2 || !readByte()) return Fail(link, kMsgInvalidResponse);
  }
  if (!readByte()) return Fail(link, kMsgModeNotSecured);
  if (byte == kStx) return std::nullopt;
  return Fail(link, kMsgFailedToSecureMode);
}

}  // namespace

std::optional<Failure> EnterPcMode(SensorLink& link) {
  const FrameTraceHook& trace = FrameTrace();
  if (trace) {
    trace(kTraceFromPc,
          {reinterpret_cast<const std::uint8_t*>(kPcModeRequest), kPcModeRequestLength},
          kTraceHandshakeRequest);
  }
  std::vector<std::uint8_t> arrived;
  std::optional<Failure> failure = HandshakeSteps(link, arrived);
  if (trace) trace(kTraceToPc, arrived, failure ? failure->text : kTraceHandshakeAccepted);
  return failure;
}
