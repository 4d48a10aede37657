// A serial port on a serial device server as a backend of the sensor link:
// a TCP connection that carries the bytes, with (rfc2217://) or without
// (socket://) the Telnet COM-PORT option that carries the line settings.
// The time-outs are kept here and timed as the COM ports time theirs, so
// that every exchange ends as it would on a local port.
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "link/line_mode.h"
#include "link/network_address.h"
#include "link/port_backend.h"
#include "link/serial_port.h"
#include "link/tcp_stream.h"
#include "link/telnet_com_port.h"
#include "res/messages.h"

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;
using zema::NetworkAddress;
using zema::TcpStream;
using zema::TelnetComPort;

// A connection that has not been made by then is taken as refused; a local
// port opens at once, a device server on the same network well within it.
constexpr int kConnectTimeoutMs = 3000;
// How long a wait without any time-out set lasts before it looks again: a
// server that went away is found by the keep-alive in the meantime.
constexpr int kUnboundedWaitMs = 1000;
constexpr int kReceiveChunk = 4096;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

class NetworkPortBackend final : public PortBackend {
 public:
  NetworkPortBackend(std::string url, NetworkAddress address, std::unique_ptr<TcpStream> stream)
      : url_(std::move(url)), address_(std::move(address)), stream_(std::move(stream)) {
    if (address_.protocol == zema::NetworkProtocol::Rfc2217) telnet_.emplace();
  }

  // The greeting and the settings of a freshly opened port, sent without
  // waiting for any answer.
  void Start() {
    if (telnet_) Send(TelnetComPort::Greeting());
    SetLineMode(kLineModeOpenDefault);
    SetReadTimeouts(kOpenTimeoutMs, kOpenTimeoutMs);
    SetWriteTimeout(kOpenTimeoutMs);
  }

  std::string Device() const override { return url_; }
  std::string Name() const override { return url_; }

  // A raw socket carries no settings: the line runs as the server's port is
  // set, and a word that names a speed is refused rather than pretended.
  // Over Telnet the requests go out and the data never waits for their
  // answers; a server that refused the COM-PORT option takes none of them.
  bool SetLineMode(std::uint32_t lineMode) override {
    const LineModeFields fields = DecodeLineMode(lineMode);
    if (fields.parity > 5 || fields.dataBits > 5 || fields.rts > 4) return false;
    if (!telnet_) return fields.baudCode == 0;
    Pump(0);
    if (telnet_->comPortRefused()) return false;
    return Send(TelnetComPort::LineRequests(fields));
  }

  bool SetReadTimeouts(int intervalMs, int totalMs) override {
    if (intervalMs < 0 || totalMs < 0) return false;
    readIntervalMs_ = intervalMs;
    readTotalMs_ = totalMs;
    return true;
  }

  bool SetWriteTimeout(int totalMs) override {
    if (totalMs < 0) return false;
    writeTotalMs_ = totalMs;
    return true;
  }

  int Waiting() override {
    while (Pump(0) > 0) {
    }
    return static_cast<int>(data_.size() - taken_);
  }

  int Read(void* buffer, int count) override {
    if (count <= 0) return 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::optional<Clock::time_point> totalDeadline;
    if (readTotalMs_ > 0) totalDeadline = Clock::now() + std::chrono::milliseconds(readTotalMs_);
    std::optional<Clock::time_point> intervalDeadline;
    int received = 0;
    for (;;) {
      const int took = Take(out + received, count - received);
      received += took;
      if (received == count) break;
      if (took > 0 && readIntervalMs_ > 0) {
        intervalDeadline = Clock::now() + std::chrono::milliseconds(readIntervalMs_);
      }
      // The interval time-out runs from the last byte received, the total
      // one from the start of the read; the earlier one ends the read.
      std::optional<Clock::time_point> deadline = totalDeadline;
      if (intervalDeadline && (!deadline || *intervalDeadline < *deadline)) {
        deadline = intervalDeadline;
      }
      if (deadline && Clock::now() >= *deadline) break;
      if (Pump(deadline ? RemainingMs(*deadline) : kUnboundedWaitMs) < 0) {
        received += Take(out + received, count - received);
        break;
      }
    }
    CountMoved(received);
    return received;
  }

  int Write(const void* buffer, int count) override {
    if (count <= 0) return 0;
    const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(buffer),
                                              static_cast<std::size_t>(count));
    std::vector<std::uint8_t> wire;
    if (telnet_) {
      TelnetComPort::AppendEscaped(bytes, wire);
    } else {
      wire.assign(bytes.begin(), bytes.end());
    }
    if (!Send(wire)) return 0;
    CountMoved(count);
    return count;
  }

  // What already arrived is dropped here, and the server is asked to drop
  // what its port received and has not sent yet.
  bool PurgeInput() override {
    Waiting();
    data_.clear();
    taken_ = 0;
    if (stream_ == nullptr || !stream_->gone().empty()) return false;
    return !telnet_ || Send(TelnetComPort::PurgeReceived());
  }

  std::string LineGoneDetail() const override {
    if (stream_ == nullptr || stream_->gone().empty()) return {};
    return address_.HostAndPort() + ": the connection to the device server ended (" +
           stream_->gone() + ")";
  }

  bool Close() override {
    stream_.reset();
    return true;
  }

 private:
  static void CountMoved(int bytes) {
    if (bytes > 0) ComCountBytesMoved(static_cast<std::uint64_t>(bytes));
  }

  bool Send(std::span<const std::uint8_t> bytes) {
    if (stream_ == nullptr) return false;
    return stream_->Send(bytes, writeTotalMs_ > 0 ? writeTotalMs_ : kUnboundedWaitMs * 3600);
  }

  // Waits up to `timeoutMs` for what the server sends and keeps the serial
  // data among it; answers the server's negotiation. The count of bytes
  // that came (0 after the time-out), or -1 when the connection has ended.
  int Pump(int timeoutMs) {
    if (stream_ == nullptr) return -1;
    std::uint8_t chunk[kReceiveChunk];
    const int got = stream_->Receive(chunk, kReceiveChunk, timeoutMs);
    if (got <= 0) return got;
    if (taken_ == data_.size()) {
      data_.clear();
      taken_ = 0;
    }
    const std::span<const std::uint8_t> bytes(chunk, static_cast<std::size_t>(got));
    if (!telnet_) {
      data_.insert(data_.end(), bytes.begin(), bytes.end());
      return got;
    }
    std::vector<std::uint8_t> answer;
    telnet_->Receive(bytes, data_, answer);
    if (!answer.empty()) Send(answer);
    return got;
  }

  int Take(std::uint8_t* out, int count) {
    const auto n = std::min(static_cast<std::size_t>(count), data_.size() - taken_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(taken_), n, out);
    taken_ += n;
    return static_cast<int>(n);
  }

  std::string url_;
  NetworkAddress address_;
  std::unique_ptr<TcpStream> stream_;
  std::optional<TelnetComPort> telnet_;
  std::vector<std::uint8_t> data_;  // serial data received and not yet read, from taken_ on
  std::size_t taken_ = 0;
  int readIntervalMs_ = 0;
  int readTotalMs_ = 0;
  int writeTotalMs_ = 0;
};

}  // namespace

Result<std::unique_ptr<PortBackend>> OpenNetworkPort(const std::string& url) {
  std::string why;
  const std::optional<NetworkAddress> address = zema::ParseNetworkUrl(url, why);
  std::unique_ptr<TcpStream> stream;
  if (address) stream = TcpStream::Connect(*address, kConnectTimeoutMs, why);
  if (stream == nullptr) return {nullptr, MessageFailure(kMsgComOpenFailed, std::string(), why)};
  auto port = std::make_unique<NetworkPortBackend>(url, *address, std::move(stream));
  port->Start();
  return {std::move(port), std::nullopt};
}

}  // namespace zema
