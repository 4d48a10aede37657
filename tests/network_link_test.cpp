// The pieces of a link to a serial device server: the URL forms, the
// Telnet COM-PORT filter, and the TCP connection's faults.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/line_mode.h"
#include "link/network_address.h"
#include "link/tcp_stream.h"
#include "link/telnet_com_port.h"

namespace {

using namespace zema;
using Bytes = std::vector<std::uint8_t>;

TEST(NetworkLinkTest, UrlForms) {
  struct Case {
    const char* url;
    bool valid;
    NetworkProtocol protocol;
    const char* hostAndPort;
  };
  const Case cases[] = {
      {"rfc2217://box7:2001", true, NetworkProtocol::Rfc2217, "box7:2001"},
      {"RFC2217://10.0.0.5:4001/", true, NetworkProtocol::Rfc2217, "10.0.0.5:4001"},
      {"socket://[fe80::1]:23", true, NetworkProtocol::RawSocket, "[fe80::1]:23"},
      {"socket://box7:65535", true, NetworkProtocol::RawSocket, "box7:65535"},
      {"socket://box7", false, {}, ""},
      {"socket://box7:0", false, {}, ""},
      {"socket://box7:65536", false, {}, ""},
      {"rfc2217://:2001", false, {}, ""},
      {"rfc2217://fe80::1:23", false, {}, ""},
      {"rfc2217://box7:2001?ign_set_control", false, {}, ""},
      {"telnet://box7:23", false, {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string why;
    const auto address = ParseNetworkUrl(c.url, why);
    ASSERT_EQ(address.has_value(), c.valid) << why;
    if (!c.valid) {
      EXPECT_NE(why.find("expected rfc2217://HOST:PORT or socket://HOST:PORT"), std::string::npos);
      continue;
    }
    EXPECT_EQ(address->protocol, c.protocol);
    EXPECT_EQ(address->HostAndPort(), c.hostAndPort);
  }
  EXPECT_TRUE(IsNetworkUrl("Socket://x"));
  EXPECT_FALSE(IsNetworkUrl("/dev/ttyUSB0"));
}

TEST(NetworkLinkTest, TelnetCarriesEveryByteAndSetsTheLine) {
  // The sensor's 57600 baud, 8 data bits, no parity, one stop bit, DTR and
  // RTS on, no flow control.
  LineModeFields line;
  line.baudCode = 12;
  line.dataBits = 5;
  line.parity = 1;
  line.stopBits = 1;
  line.dtr = 2;
  line.rts = 2;
  line.ctsFlowOff = true;
  line.xonXoff = 2;
  ASSERT_EQ(BaudRateForCode(12), 57600u);
  const Bytes sb = {255, 250, 44};
  const Bytes se = {255, 240};
  auto request = [&](Bytes value) {
    Bytes out = sb;
    out.insert(out.end(), value.begin(), value.end());
    out.insert(out.end(), se.begin(), se.end());
    return out;
  };
  Bytes expected;
  for (const Bytes& one :
       {request({1, 0, 0, 0xE1, 0}), request({2, 8}), request({3, 1}), request({4, 1}),
        request({5, 1}), request({5, 14}), request({5, 8}), request({5, 11})}) {
    expected.insert(expected.end(), one.begin(), one.end());
  }
  EXPECT_EQ(TelnetComPort::LineRequests(line), expected);
  EXPECT_EQ(TelnetComPort::PurgeReceived(), request({12, 1}));

  Bytes escaped;
  TelnetComPort::AppendEscaped(Bytes{0x01, 0xFF, 0xFF, 0x7F}, escaped);
  EXPECT_EQ(escaped, (Bytes{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}));

  // The server's answers, a notification nobody asked for, an offer to
  // echo and data with 0xFF in it, fed one byte at a time.
  const Bytes fromServer = {
      255,  253, 0,   255, 251,  0,   255,  253, 44,        // DO BINARY, WILL BINARY, DO COM-PORT
      0x10, 255, 255,                                       // data 0x10 0xFF
      255,  250, 44,  101, 0,    0,   0xE1, 0,   255, 240,  // the speed now used: 57600
      0x20,                                                 // data
      255,  250, 44,  107, 0x30, 255, 240,                  // modem state changed
      255,  251, 1,   255, 253,  24,  255,  241,            // WILL ECHO, DO TERMINAL-TYPE, NOP
      255,  250, 44,  106, 255,  255, 255,  240, 255, 255,
      0x30};  // line state 0xFF, data 0xFF 0x30
  TelnetComPort port;
  Bytes data;
  Bytes answer;
  for (std::uint8_t byte : fromServer) port.Receive(std::span(&byte, 1), data, answer);
  EXPECT_EQ(data, (Bytes{0x10, 0xFF, 0x20, 0xFF, 0x30}));
  EXPECT_EQ(answer, (Bytes{255, 254, 1, 255, 252, 24}));  // DONT ECHO, WONT TERMINAL-TYPE
  EXPECT_TRUE(port.comPortAccepted());
  EXPECT_TRUE(port.binaryAccepted());
  EXPECT_EQ(port.baudRate(), 57600u);
}

// A listening socket on the loopback, on a port of the system's choice.
struct Listener {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  NetworkAddress address{NetworkProtocol::RawSocket, "127.0.0.1", ""};
  Listener() {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof where;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), size) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &size) != 0) {
      ADD_FAILURE() << "no loopback listener";
    }
    address.port = std::to_string(ntohs(where.sin_port));
  }
  ~Listener() { ::close(fd); }
};

TEST(NetworkLinkTest, ConnectionFaultsEndWithAReason) {
  std::string why;
  {
    NetworkAddress closed;
    {
      Listener gone;
      closed = gone.address;
    }
    EXPECT_EQ(TcpStream::Connect(closed, 2000, why), nullptr);
    EXPECT_EQ(why, "127.0.0.1:" + closed.port + ": Connection refused");
  }
  Listener server;
  auto stream = TcpStream::Connect(server.address, 2000, why);
  ASSERT_NE(stream, nullptr) << why;
  const int peer = ::accept(server.fd, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  std::uint8_t buffer[8];
  EXPECT_EQ(stream->Receive(buffer, sizeof buffer, 50), 0) << "a stalled server is a time-out";
  const Bytes sent = {0x80, 0xFF, 0x00};
  EXPECT_TRUE(stream->Send(sent, 1000));
  EXPECT_EQ(::recv(peer, buffer, sizeof buffer, 0), 3);
  ::close(peer);
  EXPECT_EQ(stream->Receive(buffer, sizeof buffer, 1000), -1);
  EXPECT_EQ(stream->gone(), "the server closed the connection");
  EXPECT_FALSE(stream->Send(sent, 1000));
}

}  // namespace
