// Replies and the PC-mode handshake, parsed from whatever a line delivers.
//
// Input: one byte that chooses the exchange (bit 0: handshake; otherwise
// bits 1 to 7 and the next byte give the reply's payload length, 0 to 266),
// then the bytes the "sensor" sends. The expected outcome of a reply is
// worked out here from the frame's rules, independently of ReceiveReply.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "link/commands.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/memory_line.h"

namespace {

constexpr int kPort = 1;

bool LastErrorIs(int messageId) { return g_lastError == LoadMessage(messageId); }

void CheckReply(int length, std::span<const std::uint8_t> line) {
  // Exactly `length` bytes of room, so that a write past them is caught.
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[static_cast<std::size_t>(length)]);
  const int result = ReceiveReply(kPort, buffer.get(), length, 1000);

  const std::size_t frame = static_cast<std::size_t>(length) + 2;
  FUZZ_REQUIRE(memory_line::Unread() == line.size() - std::min(frame, line.size()));
  FUZZ_REQUIRE(memory_line::Written().empty());
  if (line.empty()) {
    FUZZ_REQUIRE(result == 0 && LastErrorIs(kMsgNoResponse));
    return;
  }
  if (line[0] != kAck) {
    FUZZ_REQUIRE(result == 0 && LastErrorIs(kMsgInvalidResponse));
    return;
  }
  if (line.size() < frame) {
    FUZZ_REQUIRE(result == 0 && LastErrorIs(kMsgChecksumError));
    return;
  }
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < frame; ++i) sum = static_cast<std::uint8_t>(sum + line[i]);
  const bool valid = line[frame - 1] == static_cast<std::uint8_t>(0xFF - sum);
  FUZZ_REQUIRE(result == (valid ? 1 : 0));
  FUZZ_REQUIRE(valid ? g_lastError.empty() : LastErrorIs(kMsgChecksumError));
  // The payload is handed over in either case.
  FUZZ_REQUIRE(std::equal(buffer.get(), buffer.get() + length, line.begin() + 1));
}

void CheckHandshake(std::span<const std::uint8_t> line) {
  const int result = EnterPcMode(kPort);
  const auto& written = memory_line::Written();
  FUZZ_REQUIRE(written.size() == static_cast<std::size_t>(kPcModeRequestLength));
  FUZZ_REQUIRE(std::equal(written.begin(), written.end(), kPcModeRequest));
  if (result == 1) {
    // Confirmed only by ACK STX, right before what is left unread.
    const std::size_t read = line.size() - memory_line::Unread();
    FUZZ_REQUIRE(g_lastError.empty() && read >= 2);
    FUZZ_REQUIRE(line[read - 2] == kAck && line[read - 1] == kStx);
    return;
  }
  FUZZ_REQUIRE(result == 0);
  FUZZ_REQUIRE(LastErrorIs(kMsgNoResponse) || LastErrorIs(kMsgSensorGotInvalidData) ||
               LastErrorIs(kMsgInvalidResponse) || LastErrorIs(kMsgModeNotSecured) ||
               LastErrorIs(kMsgFailedToSecureMode));
  FUZZ_REQUIRE(line.empty() == LastErrorIs(kMsgNoResponse));
  // A NAK first is a refusal, and what followed it is thrown away.
  if (!line.empty() && line[0] == kNak) {
    FUZZ_REQUIRE(LastErrorIs(kMsgSensorGotInvalidData) && memory_line::Unread() == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLanguage(Language::English);
  return ComOpen(kPort, 512, 512) == kOpenOk ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool handshake = (data[0] & 1) != 0;
  std::span<const std::uint8_t> line(data + 1, size - 1);
  int length = 0;
  if (!handshake) {
    if (line.empty()) return 0;
    length = ((data[0] >> 1) << 8 | line[0]) % (kMaxPayload + 1);
    line = line.subspan(1);
  }
  memory_line::Load(line);
  g_lastError.clear();
  if (handshake) {
    CheckHandshake(line);
  } else {
    CheckReply(length, line);
  }
  return 0;
}
