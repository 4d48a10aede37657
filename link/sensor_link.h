// The link to one sensor: the open port (a backend of one of the port
// kinds), the buffer every command is sent from and every reply received
// into, and the last failure. Each exchange goes through it:
//
//   Result<Reply> reply = link.Exchange(kCmdReadParamSet, {{slot}});
//   if (!reply.ok()) ... reply.failure->text ...
//
// A link is used by one thread at a time; two links share nothing, so that
// runs on two sensors may go side by side. A default-constructed link is
// closed: every exchange on it fails as one that got no reply.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/commands.h"
#include "link/failure.h"
#include "link/port_backend.h"

// Longest payload a frame can carry.
inline constexpr int kMaxPayload = 266;

// Queue sizes a COM port is opened with.
inline constexpr int kPortQueueBytes = 512;

// A reply's payload, in the link's buffer: valid until the next exchange.
using Reply = std::span<const std::uint8_t>;

class SensorLink {
 public:
  SensorLink() = default;
  explicit SensorLink(std::unique_ptr<PortBackend> backend);
  ~SensorLink() = default;
  SensorLink(SensorLink&& other) noexcept = default;
  SensorLink& operator=(SensorLink&& other) noexcept = default;
  SensorLink(const SensorLink&) = delete;
  SensorLink& operator=(const SensorLink&) = delete;

  // COM port `port` with the settings of a freshly opened port (9600 baud,
  // 8N1, 1 s time-outs); the failure is message 101 with the system's cause.
  static Result<SensorLink> OpenCom(int port);

  bool IsOpen() const { return backend_ != nullptr; }
  // The port; on a closed link, one that carries nothing.
  PortBackend& Port() const;
  // Closes the port; the link is closed afterwards even when the system
  // refused (false).
  bool Close();

  // Sends "CPl" unframed and waits for ACK STX; the failure is message 111,
  // 112, 113, 114 or 115.
  std::optional<Failure> EnterPcMode();

  // Sends `command` with its payload from the start of xfer, on a line
  // cleared of everything received before it. The sensor speaks only when
  // asked, so anything waiting is left over from an earlier exchange: a
  // reply that came after its time-out, or the rest of a garbled one.
  // Taken as this command's reply, it would shift every later reply by one,
  // and an ACK of the right length passes the checksum.
  void Send(const SensorCommand& command);
  // The reply to the command just sent, into the start of xfer.
  Result<Reply> Receive(const SensorCommand& command);
  // Send and Receive; the second form first copies `payload` to xfer.
  Result<Reply> Exchange(const SensorCommand& command);
  Result<Reply> Exchange(const SensorCommand& command, std::span<const std::uint8_t> payload);

  // Keeps `failure` as lastError and hands it back.
  Failure Fail(Failure failure);

  // Commands take their payload from its start, replies arrive at its start.
  std::array<std::uint8_t, kMaxPayload> xfer{};
  // The link's most recent failure; message 0 before the first.
  Failure lastError;

 private:
  std::unique_ptr<PortBackend> backend_;
};
