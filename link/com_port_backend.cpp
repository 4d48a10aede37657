// The serial driver's COM ports as a backend of the sensor link: the port
// number stays inside, and every call goes through the driver's checks.
#include <utility>

#include "link/network_address.h"
#include "link/port_backend.h"
#include "link/serial_port.h"
#include "res/messages.h"

#ifdef _WIN32
#include "link/network_links.h"
#else
#include "link/port_device_path.h"
#endif

namespace zema {

namespace {

class ComPortBackend final : public PortBackend {
 public:
  explicit ComPortBackend(int port) : port_(port) {}
  ~ComPortBackend() override { Close(); }
  ComPortBackend(const ComPortBackend&) = delete;
  ComPortBackend& operator=(const ComPortBackend&) = delete;

  std::string Device() const override { return ComDevicePath(port_); }
  std::string Name() const override { return ComPortName(port_); }
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

// The URL port `port` stands for, or empty when it names a local device.
std::string NetworkUrlOf(int port) {
  std::string device = ComDevicePath(port);
#ifdef _WIN32
  if (!zema::IsNetworkUrl(device)) device = NetworkLinkOf(port);
#else
  if (!zema::IsNetworkUrl(device)) device = LinkTarget(device);
#endif
  return zema::IsNetworkUrl(device) ? device : std::string();
}

}  // namespace

Result<std::unique_ptr<PortBackend>> OpenComPort(int port, int inQueueSize, int outQueueSize) {
  if (const std::string url = NetworkUrlOf(port); !url.empty()) return OpenNetworkPort(url);
  std::string detail;
  if (ComOpen(port, inQueueSize, outQueueSize, &detail) != kOpenOk) {
    return {nullptr, MessageFailure(kMsgComOpenFailed, std::string(), detail)};
  }
  return {std::make_unique<ComPortBackend>(port), std::nullopt};
}

}  // namespace zema
