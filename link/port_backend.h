// One kind of port a sensor link talks through. The link frames commands
// and reads replies; a backend only carries bytes and applies settings. The
// serial driver's COM ports are one kind (OpenComPort); a network port that
// sends the line settings as protocol requests fits the same calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/failure.h"

namespace zema {

class PortBackend {
 public:
  virtual ~PortBackend() = default;  // closes the port if it is still open

  // The port as a failure's detail line names it: a device path, an address.
  virtual std::string Device() const = 0;
  // The port as the user named it: "COM3", a device path, an address.
  virtual std::string Name() const = 0;

  // Speed, data bits, parity, stop bits, DTR and RTS, flow control, as one
  // LineMode word (link/line_mode.h). The whole word or, with false, none of it.
  virtual bool SetLineMode(std::uint32_t lineMode) = 0;
  // A read ends when `intervalMs` pass between two bytes or `totalMs` since it
  // began (0: no such limit), as Windows times its reads.
  virtual bool SetReadTimeouts(int intervalMs, int totalMs) = 0;
  virtual bool SetWriteTimeout(int totalMs) = 0;

  // Bytes received and not yet read.
  virtual int Waiting() = 0;
  // Returns when `count` bytes have arrived, or with what arrived by the
  // read time-out or when the line went away.
  virtual int Read(void* buffer, int count) = 0;
  // The bytes that left by the write time-out; the rest is dropped.
  virtual int Write(const void* buffer, int count) = 0;
  virtual bool PurgeInput() = 0;

  // Why the line went away, in one line (the device and the system's
  // words); empty while it is there. Once gone, it stays gone.
  virtual std::string LineGoneDetail() const = 0;

  // False when the system refused; the port may then still be open.
  virtual bool Close() = 0;
};

// Opens COM port `port` (1 to 256; its device as ComDevicePath names it)
// with the settings of a freshly opened port: through the serial driver,
// or as a network port when the device is a URL (rfc2217://HOST:PORT,
// socket://HOST:PORT; on POSIX also a dosdevices link whose target is one).
Result<std::unique_ptr<PortBackend>> OpenComPort(int port, int inQueueSize, int outQueueSize);

// Connects to the serial port on a device server that `url` names, with the
// settings of a freshly opened port; the failure is message 106 with
// "host:port: " and the system's reason as its detail.
Result<std::unique_ptr<PortBackend>> OpenNetworkPort(const std::string& url);

}  // namespace zema
