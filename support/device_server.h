// ser2net, the serial device server, started in front of a terminal (a
// virtual sensor's) on a free loopback port, so that a program reaches the
// sensor through rfc2217:// or socket:// as it would a box on the network.
// The tests and the benchmarks start it this way; it ends with the object.
//
//   DeviceServer server;
//   if (!server.Start(sim.devicePath(), DeviceServer::Mode::kRfc2217, error)) ...
//   RunProgram("zema-transfer", {"read", "--all", "--device", server.url(), ...});
#pragma once

#include <string>

#include "support/subprocess.h"

namespace zema {

class DeviceServer {
 public:
  enum class Mode {
    kRfc2217,  // Telnet with the COM-PORT option: the client sets the line
    kRaw,      // the bytes as they are, at the configured 57600 8N1
  };

  // Where the server's program is; empty when it is not installed.
  static std::string ProgramPath();

  // Starts it in the foreground with a configuration of its own (in a
  // temporary folder) and waits until it listens. `nagle` leaves Nagle's
  // algorithm on on the server's side, as ser2net does unless told.
  bool Start(const std::string& device, Mode mode, std::string& error, bool nagle = false);
  // Ends it at once (SIGKILL): the box loses power.
  void Kill();

  const std::string& url() const { return url_; }
  const std::string& hostAndPort() const { return hostAndPort_; }
  pid_t pid() const { return process_.pid(); }

  ~DeviceServer();

 private:
  Subprocess process_;
  std::string folder_;
  std::string url_;
  std::string hostAndPort_;
};

}  // namespace zema
