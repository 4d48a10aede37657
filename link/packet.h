// Packet framing, the PC-mode handshake and the shared transfer buffer.
//
// A command packet is the code, its payload and a checksum byte (the bitwise
// complement of the 8-bit sum of code and payload). A reply is ACK (0x06), a
// payload of a length fixed by the command, and the complement of the 8-bit
// sum of ACK and payload.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "link/commands.h"
#include "link/last_error.h"

// Longest payload a frame can carry.
inline constexpr int kMaxPayload = 266;

// The program's single transfer buffer: commands take their payload from its
// start, replies are received into its start.
extern std::uint8_t g_xfer[kMaxPayload];

// The byte that ends every frame, command or reply: the bitwise complement
// of the 8-bit sum of all bytes before it (code or ACK, and the payload).
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytesBeforeChecksum);

// Frames and writes one packet. The written count is not checked: a short
// write shows up as a missing or invalid reply.
void SendPacket(int port, std::uint8_t code, const std::uint8_t* payload, int length);

// 1 when a complete, valid reply with `length` payload bytes arrived within
// timeoutMs (payload copied to buffer), else 0 with g_lastError set to
// message 111 (nothing arrived), 113 (first byte not ACK) or 116 (checksum
// wrong or reply cut short). The read time-out stays set afterwards.
int ReceiveReply(int port, std::uint8_t* buffer, int length, int timeoutMs);

// Sends "CPl" unframed and waits for ACK STX. 1 on success, else 0 with
// g_lastError set to message 111, 112, 113, 114 or 115.
int EnterPcMode(int port);

// Sends a command of the command table with its payload from g_xfer, on a
// line cleared of everything received before it. The sensor speaks only
// when asked, so anything waiting is left over from an earlier exchange: a
// reply that came after its time-out, or the rest of a garbled one. Taken
// as this command's reply, it would shift every later reply by one, and an
// ACK of the right length passes the checksum.
void SendCommand(int port, const SensorCommand& command);

// One exchange from g_xfer to g_xfer: SendCommand, then ReceiveReply with
// the command's reply length and time-out.
int Exchange(int port, const SensorCommand& command);
