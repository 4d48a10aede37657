#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "link/tcp_stream.h"

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void SetOption(int fd, int level, int name, int value) {
  (void)::setsockopt(fd, level, name, &value, sizeof value);
}

// ZEMA_TCP_NAGLE=1 leaves Nagle's algorithm on and the acknowledgements
// delayed, as a client that sets nothing has them: for the benchmark that
// shows what that would cost.
bool PlainTcp() {
  static const bool plain = [] {
    const char* nagle = std::getenv("ZEMA_TCP_NAGLE");
    return nagle != nullptr && std::string_view(nagle) == "1";
  }();
  return plain;
}

// Keep-alive probes after 10 s of silence, every 5 s, 3 of them: a server
// that went away is noticed within about 25 s even while nothing is sent.
void TuneForSerialLine(int fd) {
  if (!PlainTcp()) SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
  SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
  SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, 10);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, 5);
  SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, 3);
#endif
}

// One address of the host, non-blocking, within the deadline; the
// socket, or -1 with errno set.
int ConnectOne(const addrinfo& candidate, Clock::time_point deadline) {
  const int fd = ::socket(candidate.ai_family, candidate.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          candidate.ai_protocol);
  if (fd < 0) return -1;
  int error = 0;
  if (::connect(fd, candidate.ai_addr, candidate.ai_addrlen) != 0) {
    error = errno;
    if (error == EINPROGRESS) {
      pollfd waiting{fd, POLLOUT, 0};
      int ready = 0;
      do {
        ready = ::poll(&waiting, 1, RemainingMs(deadline));
      } while (ready < 0 && errno == EINTR);
      socklen_t size = sizeof error;
      if (ready == 0) {
        error = ETIMEDOUT;
      } else if (ready < 0 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
      }
    }
  }
  if (error != 0) {
    ::close(fd);
    errno = error;
    return -1;
  }
  TuneForSerialLine(fd);
  return fd;
}

}  // namespace

std::unique_ptr<TcpStream> TcpStream::Connect(const NetworkAddress& address, int timeoutMs,
                                              std::string& why) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (const int failure = ::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
      failure != 0) {
    why = address.HostAndPort() + ": " +
          (failure == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(failure));
    return nullptr;
  }
  int fd = -1;
  int error = ETIMEDOUT;
  for (const addrinfo* candidate = found; candidate != nullptr && fd < 0;
       candidate = candidate->ai_next) {
    fd = ConnectOne(*candidate, deadline);
    if (fd < 0) error = errno;
  }
  ::freeaddrinfo(found);
  if (fd < 0) {
    why = address.HostAndPort() + ": " + std::strerror(error);
    return nullptr;
  }
  return std::unique_ptr<TcpStream>(new TcpStream(fd));
}

TcpStream::~TcpStream() { ::close(static_cast<int>(socket_)); }

void TcpStream::Lost(int error) {
  if (gone_.empty()) gone_ = error == 0 ? "the server closed the connection" : std::strerror(error);
}

int TcpStream::Receive(std::uint8_t* buffer, int count, int timeoutMs) {
  if (!gone_.empty()) return -1;
  const int fd = static_cast<int>(socket_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pollfd waiting{fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) {
      Lost(errno);
      return -1;
    }
    if (ready == 0) return 0;
    const ssize_t got = ::recv(fd, buffer, static_cast<std::size_t>(count), 0);
    if (got > 0) {
#ifdef TCP_QUICKACK
      // A server with Nagle's algorithm on (ser2net's default) holds the
      // rest of a reply back until its first part is acknowledged; a
      // delayed acknowledgement would add 40 ms to every exchange. Linux
      // drops back to delaying after a while, so it is asked each time.
      if (!PlainTcp()) SetOption(fd, IPPROTO_TCP, TCP_QUICKACK, 1);
#endif
      return static_cast<int>(got);
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    Lost(got == 0 ? 0 : errno);
    return -1;
  }
}

bool TcpStream::Send(std::span<const std::uint8_t> bytes, int timeoutMs) {
  if (!gone_.empty()) return false;
  const int fd = static_cast<int>(socket_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t put = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (put > 0) {
      sent += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN) {
      Lost(errno);
      return false;
    }
    pollfd waiting{fd, POLLOUT, 0};
    if (::poll(&waiting, 1, RemainingMs(deadline)) == 0) return false;  // stalled
  }
  return true;
}

}  // namespace zema
