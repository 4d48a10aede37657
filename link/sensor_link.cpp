#include "link/sensor_link.h"

#include <algorithm>
#include <utility>

#include "link/packet.h"

namespace {

// The port of a closed link: carries nothing, takes no setting.
class ClosedPort final : public PortBackend {
 public:
  std::string Device() const override { return {}; }
  bool SetLineMode(std::uint32_t) override { return false; }
  bool SetReadTimeouts(int, int) override { return false; }
  bool SetWriteTimeout(int) override { return false; }
  int Waiting() override { return 0; }
  int Read(void*, int) override { return 0; }
  int Write(const void*, int) override { return 0; }
  bool PurgeInput() override { return false; }
  std::string LineGoneDetail() const override { return {}; }
  bool Close() override { return false; }
};

}  // namespace

SensorLink::SensorLink(std::unique_ptr<PortBackend> backend) : backend_(std::move(backend)) {}

Result<SensorLink> SensorLink::OpenCom(int port) {
  Result<std::unique_ptr<PortBackend>> opened = OpenComPort(port, kPortQueueBytes, kPortQueueBytes);
  if (!opened.ok()) return {SensorLink(), std::move(opened.failure)};
  return {SensorLink(std::move(opened.value)), std::nullopt};
}

PortBackend& SensorLink::Port() const {
  // Stateless, so one serves every closed link on every thread.
  static ClosedPort closed;
  return backend_ != nullptr ? *backend_ : closed;
}

bool SensorLink::Close() {
  if (backend_ == nullptr) return true;
  const bool closed = backend_->Close();
  backend_.reset();
  return closed;
}

std::optional<Failure> SensorLink::EnterPcMode() { return ::EnterPcMode(*this); }

void SensorLink::Send(const SensorCommand& command) {
  Port().PurgeInput();
  SendPacket(*this, command.code, xfer.data(), command.payloadLength);
}

Result<Reply> SensorLink::Receive(const SensorCommand& command) {
  std::optional<Failure> failure =
      ReceiveReply(*this, xfer.data(), command.replyLength, command.timeoutMs);
  if (failure) return {Reply(), std::move(failure)};
  return {Reply(xfer.data(), static_cast<std::size_t>(command.replyLength)), std::nullopt};
}

Result<Reply> SensorLink::Exchange(const SensorCommand& command) {
  Send(command);
  return Receive(command);
}

Result<Reply> SensorLink::Exchange(const SensorCommand& command,
                                   std::span<const std::uint8_t> payload) {
  const std::size_t count = std::min(payload.size(), xfer.size());
  std::copy_n(payload.begin(), count, xfer.begin());
  return Exchange(command);
}

Failure SensorLink::Fail(Failure failure) {
  lastError = failure;
  return failure;
}
