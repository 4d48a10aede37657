// Packet framing and the PC-mode handshake, on a sensor link.
//
// A command packet is the code, its payload and a checksum byte (the bitwise
// complement of the 8-bit sum of code and payload). A reply is ACK (0x06), a
// payload of a length fixed by the command, and the complement of the 8-bit
// sum of ACK and payload.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "link/failure.h"
#include "link/sensor_link.h"

// The byte that ends every frame, command or reply: the bitwise complement
// of the 8-bit sum of all bytes before it (code or ACK, and the payload).
std::uint8_t FrameChecksum(std::span<const std::uint8_t> bytesBeforeChecksum);

// Frames and writes one packet. The written count is not checked: a short
// write shows up as a missing or invalid reply.
void SendPacket(SensorLink& link, std::uint8_t code, const std::uint8_t* payload, int length);

// None when a complete, valid reply with `length` payload bytes arrived
// within timeoutMs (payload copied to buffer), else message 111 (nothing
// arrived), 113 (first byte not ACK) or 116 (checksum wrong or reply cut
// short), also kept as the link's lastError. The read time-out stays set
// afterwards.
std::optional<Failure> ReceiveReply(SensorLink& link, std::uint8_t* buffer, int length,
                                    int timeoutMs);

// The handshake: see SensorLink::EnterPcMode.
std::optional<Failure> EnterPcMode(SensorLink& link);
