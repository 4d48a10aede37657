#include "link/network_address.h"

#include <algorithm>
#include <cctype>

namespace zema {

namespace {

constexpr std::string_view kRfc2217Scheme = "rfc2217://";
constexpr std::string_view kSocketScheme = "socket://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return a == std::tolower(static_cast<unsigned char>(b));
         });
}

bool IsPortNumber(std::string_view port) {
  if (port.empty() || port.size() > 5) return false;
  if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const int number = std::stoi(std::string(port));
  return number >= 1 && number <= 65535;
}

}  // namespace

std::string NetworkAddress::HostAndPort() const {
  const bool ipv6 = host.find(':') != std::string::npos;
  return (ipv6 ? "[" + host + "]" : host) + ":" + port;
}

bool IsNetworkUrl(std::string_view name) {
  return StartsWithNoCase(name, kRfc2217Scheme) || StartsWithNoCase(name, kSocketScheme);
}

std::optional<NetworkAddress> ParseNetworkUrl(std::string_view url, std::string& why) {
  const std::string expected = "expected rfc2217://HOST:PORT or socket://HOST:PORT";
  NetworkAddress address;
  std::string_view rest;
  if (StartsWithNoCase(url, kRfc2217Scheme)) {
    rest = url.substr(kRfc2217Scheme.size());
  } else if (StartsWithNoCase(url, kSocketScheme)) {
    address.protocol = NetworkProtocol::RawSocket;
    rest = url.substr(kSocketScheme.size());
  } else {
    why = std::string(url) + ": " + expected;
    return std::nullopt;
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);

  std::string_view host;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {  // [IPv6]:PORT
    const std::size_t close = rest.find(']');
    if (close != std::string_view::npos && rest.substr(close + 1, 1) == ":") {
      host = rest.substr(1, close - 1);
      port = rest.substr(close + 2);
    }
  } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
  }
  const bool hostOk = !host.empty() && host.find_first_of("/?#@ []") == std::string_view::npos &&
                      (rest.front() == '[' || host.find(':') == std::string_view::npos);
  if (!hostOk || !IsPortNumber(port)) {
    why = std::string(url) + ": " + expected + " (PORT a number from 1 to 65535)";
    return std::nullopt;
  }
  address.host = host;
  address.port = port;
  return address;
}

}  // namespace zema
