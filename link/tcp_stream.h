// A TCP connection to a serial device server, with the behaviour a serial
// line needs from it: Nagle's algorithm off (with delayed acknowledgements
// it holds a short command back for up to 40 ms), keep-alive on (a server
// that vanished is noticed on an idle line too), and every wait bounded by
// a time-out.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "link/network_address.h"

namespace zema {

class TcpStream {
 public:
  // Connects within `timeoutMs`; empty with the reason in `why`
  // ("host:port: Connection refused") when no address of the host answers.
  static std::unique_ptr<TcpStream> Connect(const NetworkAddress& address, int timeoutMs,
                                            std::string& why);
  ~TcpStream();
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  // Waits up to `timeoutMs` for bytes and takes what has arrived, up to
  // `count`: 0 after the time-out, -1 when the connection has ended (the
  // reason in gone()).
  int Receive(std::uint8_t* buffer, int count, int timeoutMs);
  // Sends all of `bytes` within `timeoutMs`; false when the connection has
  // ended (gone() says why) or the time-out passed first.
  bool Send(std::span<const std::uint8_t> bytes, int timeoutMs);

  // Why the connection ended, in the system's words; empty while it lasts.
  const std::string& gone() const { return gone_; }

 private:
  explicit TcpStream(std::intptr_t socket) : socket_(socket) {}
  void Lost(int error);

  std::intptr_t socket_;
  std::string gone_;
};

}  // namespace zema
