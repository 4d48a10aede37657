#include "support/device_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zema {

namespace fs = std::filesystem;

namespace {

// A loopback port nobody listens on now. The server binds it a moment
// later; another program taking it in between makes Start fail, not hang.
int FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in where{};
  where.sin_family = AF_INET;
  where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof where;
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&where), size) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size) == 0) {
    port = ntohs(where.sin_port);
  }
  ::close(fd);
  return port;
}

// Whether something listens on loopback `port`, from the kernel's table:
// connecting to find out would open the serial port behind it.
bool Listening(int port) {
  std::ifstream table("/proc/net/tcp");
  char local[64];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  std::string line;
  while (std::getline(table, line)) {
    // "  sl  local_address rem_address   st ...": state 0A is LISTEN.
    if (line.find(local) != std::string::npos && line.find(" 0A ") != std::string::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string DeviceServer::ProgramPath() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return {};
}

bool DeviceServer::Start(const std::string& device, Mode mode, std::string& error, bool nagle) {
  const std::string program = ProgramPath();
  const int port = FreeLoopbackPort();
  if (program.empty() || port == 0) {
    error = program.empty() ? "ser2net is not installed" : "no free loopback port";
    return false;
  }
  char folder[] = "/tmp/zema-ser2net.XXXXXX";
  if (::mkdtemp(folder) == nullptr) {
    error = "no temporary folder";
    return false;
  }
  folder_ = folder;
  hostAndPort_ = "127.0.0.1:" + std::to_string(port);
  const std::string tcp = nagle ? "tcp" : "tcp(nodelay)";
  url_ = (mode == Mode::kRfc2217 ? "rfc2217://" : "socket://") + hostAndPort_;
  // chardelay off: the server passes on what the terminal gave at once
  // instead of waiting for more as it would on a slow line.
  std::ofstream(folder_ + "/ser2net.yaml")
      << "connection: &sensor\n"
      << "  accepter: " << (mode == Mode::kRfc2217 ? "telnet(rfc2217)," : "") << tcp
      << ",127.0.0.1," << port << "\n"
      << "  connector: serialdev," << device << ",57600n81,local\n"
      << "  options:\n"
      << "    chardelay: false\n";
  ChildCommand command;
  command.argv = {
      program, "-n", "-u", "-P", folder_ + "/ser2net.pid", "-c", folder_ + "/ser2net.yaml"};
  command.inputFromNull = true;
  command.out = ChildStream::kFile;
  command.outPath = folder_ + "/ser2net.log";
  command.err = ChildStream::kAsOutput;
  if (!process_.Start(command, error)) return false;
  for (int i = 0; i < 500 && !Listening(port); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!Listening(port)) {
    std::ifstream log(folder_ + "/ser2net.log");
    error = "ser2net did not listen on " + hostAndPort_ + ": " +
            std::string(std::istreambuf_iterator<char>(log), {});
    Kill();
    return false;
  }
  return true;
}

void DeviceServer::Kill() {
  if (!process_.running()) return;
  process_.Signal(SIGKILL);
  process_.Wait();
}

DeviceServer::~DeviceServer() {
  Kill();
  std::error_code ignored;
  if (!folder_.empty()) fs::remove_all(folder_, ignored);
}

}  // namespace zema
