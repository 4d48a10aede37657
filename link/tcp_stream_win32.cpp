// winsock2.h before windows.h, which the project's headers may pull in.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>
// clang-format on

#include <chrono>
#include <mutex>

#include "link/failure.h"
#include "link/tcp_stream.h"

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Winsock is started once for the whole program and never stopped: a
// program ends with its sockets anyway.
int StartWinsock() {
  static int result = -1;
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data{};
    result = ::WSAStartup(MAKEWORD(2, 2), &data);
  });
  return result;
}

std::string ErrorText(int error) { return WindowsErrorText(static_cast<unsigned long>(error)); }

void SetOption(SOCKET socket, int level, int name, DWORD value) {
  (void)::setsockopt(socket, level, name, reinterpret_cast<const char*>(&value), sizeof value);
}

// Keep-alive probes after 10 s of silence, every 5 s: a server that went
// away is noticed on an idle line too. Every segment is acknowledged at
// once: a server with Nagle's algorithm on (ser2net's default) holds the
// rest of a reply back until its first part is acknowledged, which Windows
// otherwise delays by up to 200 ms. A system without that control (older
// Windows, Wine) is used as it is.
void TuneForSerialLine(SOCKET socket) {
  SetOption(socket, IPPROTO_TCP, TCP_NODELAY, 1);
  DWORD everySegment = 1;
  DWORD returned = 0;
  (void)::WSAIoctl(socket, SIO_TCP_SET_ACK_FREQUENCY, &everySegment, sizeof everySegment, nullptr,
                   0, &returned, nullptr, nullptr);
  tcp_keepalive keepAlive{1, 10000, 5000};
  if (::WSAIoctl(socket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned,
                 nullptr, nullptr) != 0) {
    SetOption(socket, SOL_SOCKET, SO_KEEPALIVE, 1);
  }
}

// Waits until the socket is readable (or writable, or its connection
// failed) or the time-out passes: 1 ready, 0 time-out, -1 failed (the error
// in WSAGetLastError). select rather than WSAPoll, which older Windows
// versions never wake for a refused connection.
int Await(SOCKET socket, bool forWriting, int timeoutMs) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(socket, &ready);
  FD_SET(socket, &failed);
  timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int result =
      ::select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &wait);
  return result == SOCKET_ERROR ? -1 : (result > 0 ? 1 : 0);
}

// One address of the host, non-blocking, within the deadline; the socket,
// or INVALID_SOCKET with `error` set.
SOCKET ConnectOne(const addrinfo& candidate, Clock::time_point deadline, int& error) {
  SOCKET socket = ::socket(candidate.ai_family, candidate.ai_socktype, candidate.ai_protocol);
  if (socket == INVALID_SOCKET) {
    error = ::WSAGetLastError();
    return INVALID_SOCKET;
  }
  u_long nonBlocking = 1;
  ::ioctlsocket(socket, FIONBIO, &nonBlocking);
  error = 0;
  if (::connect(socket, candidate.ai_addr, static_cast<int>(candidate.ai_addrlen)) != 0) {
    error = ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK) {
      const int ready = Await(socket, true, RemainingMs(deadline));
      int size = sizeof error;
      if (ready == 0) {
        error = WSAETIMEDOUT;
      } else if (ready < 0 || ::getsockopt(socket, SOL_SOCKET, SO_ERROR,
                                           reinterpret_cast<char*>(&error), &size) != 0) {
        error = ::WSAGetLastError();
      }
    }
  }
  if (error != 0) {
    ::closesocket(socket);
    return INVALID_SOCKET;
  }
  TuneForSerialLine(socket);
  return socket;
}

}  // namespace

std::unique_ptr<TcpStream> TcpStream::Connect(const NetworkAddress& address, int timeoutMs,
                                              std::string& why) {
  if (const int failure = StartWinsock(); failure != 0) {
    why = address.HostAndPort() + ": " + ErrorText(failure);
    return nullptr;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int failure = ::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
      failure != 0) {
    why = address.HostAndPort() + ": " + ErrorText(failure);
    return nullptr;
  }
  SOCKET socket = INVALID_SOCKET;
  int error = WSAETIMEDOUT;
  for (const addrinfo* candidate = found; candidate != nullptr && socket == INVALID_SOCKET;
       candidate = candidate->ai_next) {
    socket = ConnectOne(*candidate, deadline, error);
  }
  ::freeaddrinfo(found);
  if (socket == INVALID_SOCKET) {
    why = address.HostAndPort() + ": " + ErrorText(error);
    return nullptr;
  }
  return std::unique_ptr<TcpStream>(new TcpStream(static_cast<std::intptr_t>(socket)));
}

TcpStream::~TcpStream() { ::closesocket(static_cast<SOCKET>(socket_)); }

void TcpStream::Lost(int error) {
  if (gone_.empty()) gone_ = error == 0 ? "the server closed the connection" : ErrorText(error);
}

int TcpStream::Receive(std::uint8_t* buffer, int count, int timeoutMs) {
  if (!gone_.empty()) return -1;
  const auto socket = static_cast<SOCKET>(socket_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int ready = Await(socket, false, RemainingMs(deadline));
    if (ready < 0) {
      Lost(::WSAGetLastError());
      return -1;
    }
    if (ready == 0) return 0;
    const int got = ::recv(socket, reinterpret_cast<char*>(buffer), count, 0);
    if (got > 0) return got;
    const int error = got == 0 ? 0 : ::WSAGetLastError();
    if (error == WSAEWOULDBLOCK || error == WSAEINTR) continue;
    Lost(error);
    return -1;
  }
}

bool TcpStream::Send(std::span<const std::uint8_t> bytes, int timeoutMs) {
  if (!gone_.empty()) return false;
  const auto socket = static_cast<SOCKET>(socket_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const int put = ::send(socket, reinterpret_cast<const char*>(bytes.data() + sent),
                           static_cast<int>(bytes.size() - sent), 0);
    if (put > 0) {
      sent += static_cast<std::size_t>(put);
      continue;
    }
    const int error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINTR) {
      Lost(error);
      return false;
    }
    if (Await(socket, true, RemainingMs(deadline)) == 0) return false;  // stalled
  }
  return true;
}

}  // namespace zema
