// The exchange trace: one line per frame or byte run on the line, who sent
// it, in hex, and what it means to the sensor. The virtual sensor writes it
// from its side (zema-sim --trace), the link layer from the program's side
// (zema-transfer --trace), in the same format:
//
//      0.125  PC -> ZEMA  81 03 7B  read parameter set 3
//      0.131  ZEMA -> PC  06 ... 9A  ACK, 64 bytes
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zema {

inline constexpr char kTraceFromPc[] = "PC -> ZEMA";
inline constexpr char kTraceToPc[] = "ZEMA -> PC";

// "81 03 7B" for the bytes 0x81 0x03 0x7B.
std::string HexBytes(std::span<const std::uint8_t> bytes);

// Plain words for a well-formed command frame, e.g. "read parameter set 3",
// "write block 17", "load image 6 (bank 0, section 1)".
std::string DescribeCommand(std::span<const std::uint8_t> frame);

// Plain words for a well-formed reply: "ACK", or "ACK, 64 bytes" when it
// carries a payload.
std::string DescribeAck(std::size_t payloadBytes);

// The words for the handshake's request and its accepting answer.
inline constexpr char kTraceHandshakeRequest[] = "PC communication request \"CPl\"";
inline constexpr char kTraceHandshakeAccepted[] = "ACK STX: PC communication";

// One trace line: "PC -> ZEMA  81 03 7B  read parameter set 3".
std::string TraceLine(const char* direction, std::span<const std::uint8_t> bytes,
                      const std::string& meaning);

// The line with the seconds since the trace began in front: "    0.125  ...".
std::string TimedTraceLine(double seconds, const std::string& line);

// The link layer's side: when set, SendPacket, ReceiveReply and EnterPcMode
// hand it every frame sent and every run of bytes received (what arrived,
// also when it was not a valid reply), with its meaning. Unset, tracing
// costs one test per exchange.
using FrameTraceHook = std::function<void(const char* direction,
                                          std::span<const std::uint8_t> bytes,
                                          const std::string& meaning)>;
void SetFrameTraceHook(FrameTraceHook hook);
// The hook in force; empty when none is set.
const FrameTraceHook& FrameTrace();

}  // namespace zema
