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
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "link/commands.h"
#include "link/packet.h"
#include "res/messages.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/memory_line.h"

namespace {

MemoryLine* g_line = nullptr;
SensorLink* g_link = nullptr;
std::optional<Failure> g_failure;

bool LastErrorIs(int messageId) { return g_failure && g_failure->text == LoadMessage(messageId); }

void CheckReply(int length, std::span<const std::uint8_t> line) {
  // Exactly `length` bytes of room, so that a write past them is caught.
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[static_cast<std::size_t>(length)]);
  g_failure = ReceiveReply(*g_link, buffer.get(), length, 1000);
  const int result = g_failure ? 0 : 1;

  const std::size_t frame = static_cast<std::size_t>(length) + 2;
  FUZZ_REQUIRE(g_line->Unread() == line.size() - std::min(frame, line.size()));
  FUZZ_REQUIRE(g_line->Written().empty());
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
  FUZZ_REQUIRE(valid ? !g_failure : LastErrorIs(kMsgChecksumError));
  // The payload is handed over in either case.
  FUZZ_REQUIRE(std::equal(buffer.get(), buffer.get() + length, line.begin() + 1));
}

void CheckHandshake(std::span<const std::uint8_t> line) {
  g_failure = g_link->EnterPcMode();
  const int result = g_failure ? 0 : 1;
  const auto& written = g_line->Written();
  FUZZ_REQUIRE(written.size() == static_cast<std::size_t>(kPcModeRequestLength));
  FUZZ_REQUIRE(std::equal(written.begin(), written.end(), kPcModeRequest));
  if (result == 1) {
    // Confirmed only by ACK STX, right before what is left unread.
    const std::size_t read = line.size() - g_line->Unread();
    FUZZ_REQUIRE(!g_failure && read >= 2);
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
    FUZZ_REQUIRE(LastErrorIs(kMsgSensorGotInvalidData) && g_line->Unread() == 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLanguage(Language::English);
  auto line = std::make_unique<MemoryLine>();
  g_line = line.get();
  g_link = new SensorLink(std::move(line));  // lives as long as the process
  return 0;
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
  g_line->Load(line);
  g_failure.reset();
  if (handshake) {
    CheckHandshake(line);
  } else {
    CheckReply(length, line);
  }
  return 0;
}
