// A serial port on a serial device server, named as users of serial tools
// write it: rfc2217://HOST:PORT (Telnet with the COM-PORT option, which
// carries the line settings) or socket://HOST:PORT (the bytes as they are,
// at the speed the server is set to).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zema {

enum class NetworkProtocol { Rfc2217, RawSocket };

struct NetworkAddress {
  NetworkProtocol protocol = NetworkProtocol::Rfc2217;
  std::string host;  // a name, an IPv4 address or an IPv6 address without brackets
  std::string port;  // decimal, 1 to 65535

  // "host:port" ("[::1]:2000" for IPv6), as detail lines name it.
  std::string HostAndPort() const;
};

// Whether `name` is written as one of the two URL forms at all, so that a
// mistake in it is reported as such rather than as a missing device.
bool IsNetworkUrl(std::string_view name);

// The address a URL names; empty with the reason in `why` when the URL is
// not of the form rfc2217://HOST:PORT or socket://HOST:PORT.
std::optional<NetworkAddress> ParseNetworkUrl(std::string_view url, std::string& why);

}  // namespace zema
