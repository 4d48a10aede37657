// The sensor's command set: codes, payload and reply lengths, reply time-outs.
//
// Every exchange is one SendPacket with the command's payload followed by one
// ReceiveReply with its reply length and time-out.
#pragma once

#include <cstdint>
#include <optional>

namespace zema {

struct SensorCommand {
  std::uint8_t code;
  int payloadLength;  // bytes sent after the code
  int replyLength;    // payload bytes in the reply after the ACK
  int timeoutMs;      // how long ReceiveReply waits for the reply

  // Bytes one exchange puts on the line: the frame (code, payload, checksum)
  // and its reply (ACK, payload, checksum).
  constexpr int WireBytes() const { return payloadLength + 2 + replyLength + 2; }
};

inline constexpr int kReplyTimeoutMs = 1000;
inline constexpr int kFlashTimeoutMs = 30000;

// Read one parameter set: payload = set index; reply = 32 little-endian words.
inline constexpr SensorCommand kCmdReadParamSet{0x81, 1, 64, kReplyTimeoutMs};
// Write one parameter set: payload = set index, then the set's 64 bytes.
inline constexpr SensorCommand kCmdWriteParamSet{0x82, 65, 0, kReplyTimeoutMs};
// Read one 256-byte block of the transfer area: payload = block number.
inline constexpr SensorCommand kCmdReadBlock{0x83, 1, 256, kReplyTimeoutMs};
// Write one block of the transfer area: payload = block number, 256 bytes.
inline constexpr SensorCommand kCmdWriteBlock{0x84, 257, 0, kReplyTimeoutMs};
// Load a stored image into the transfer area: payload = image selector.
inline constexpr SensorCommand kCmdSelectImage{0x85, 1, 0, kReplyTimeoutMs};
// Store the transfer area into flash as an image: payload = image selector.
inline constexpr SensorCommand kCmdFlashCommit{0x86, 1, 0, kFlashTimeoutMs};
// Leave PC communication and resume normal operation.
inline constexpr SensorCommand kCmdResume{0x87, 0, 0, kReplyTimeoutMs};
// Confirm the link when connecting.
inline constexpr SensorCommand kCmdConfirm{0x88, 0, 0, kReplyTimeoutMs};

// Parameter sets: 0..14 are the banks, 15 is the common set.
inline constexpr int kBankCount = 15;
inline constexpr int kCommonSlot = 15;
inline constexpr int kParamValuesPerSet = 32;
inline constexpr int kParamSetBytes = 64;

// Transfer area and image selectors.
inline constexpr int kBlockBytes = 256;
inline constexpr std::uint8_t kCompensationSelector = 2;
inline constexpr int kCompensationFirstBlock = 160;
inline constexpr int kCompensationLastBlock = 255;
inline constexpr int kPatternSection0Blocks = 256;
inline constexpr int kPatternSection1Blocks = 160;

constexpr std::uint8_t PatternSelector(int bank, int section) {
  return static_cast<std::uint8_t>(4 + 4 * bank + 2 * section);
}

// The bank and section a pattern selector names, the inverse of
// PatternSelector; empty for any other value.
struct PatternPlace {
  int bank;
  int section;
};
constexpr std::optional<PatternPlace> PatternForSelector(int selector) {
  // Pattern selectors are the even numbers 4..62.
  const int offset = selector - PatternSelector(0, 0);
  if (offset < 0 || offset % 2 != 0 || offset / 4 >= kBankCount) return std::nullopt;
  return PatternPlace{offset / 4, offset % 4 / 2};
}

// Handshake bytes.
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr char kPcModeRequest[] = "CPl";  // sent unframed, 3 bytes
inline constexpr int kPcModeRequestLength = 3;

}  // namespace zema
