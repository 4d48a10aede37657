// The serial driver's COM ports as a backend of the sensor link: the port
// number stays inside, and every call goes through the driver's checks.
#include <utility>

#include "link/port_backend.h"
#include "link/serial_port.h"
#include "res/messages.h"

namespace {

class ComPortBackend final : public PortBackend {
 public:
  explicit ComPortBackend(int port) : port_(port) {}
  ~ComPortBackend() override { Close(); }
  ComPortBackend(const ComPortBackend&) = delete;
  ComPortBackend& operator=(const ComPortBackend&) = delete;

  std::string Device() const override { return ComDevicePath(port_); }
  bool SetLineMode(std::uint32_t lineMode) override {
    return ComSetMode(port_, lineMode) == kComOk;
  }
  bool SetReadTimeouts(int intervalMs, int totalMs) override {
    return ComSetReadTimeouts(port_, intervalMs, totalMs) == kComOk;
  }
  bool SetWriteTimeout(int totalMs) override {
    return ComSetWriteTimeout(port_, totalMs) == kComOk;
  }
  int Waiting() override { return ComRxCount(port_); }
  int Read(void* buffer, int count) override { return ComRead(port_, buffer, count); }
  int Write(const void* buffer, int count) override { return ComWrite(port_, buffer, count); }
  bool PurgeInput() override { return ComPurgeRx(port_) == kComOk; }
  std::string LineGoneDetail() const override { return ComLineGoneDetail(port_); }
  bool Close() override { return ComIsUnusable(port_) || ComClose(port_) == kComOk; }

 private:
  int port_;
};

}  // namespace

Result<std::unique_ptr<PortBackend>> OpenComPort(int port, int inQueueSize, int outQueueSize) {
  std::string detail;
  if (ComOpen(port, inQueueSize, outQueueSize, &detail) != kOpenOk) {
    return {nullptr, MessageFailure(kMsgComOpenFailed, std::string(), detail)};
  }
  return {std::make_unique<ComPortBackend>(port), std::nullopt};
}
