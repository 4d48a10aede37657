#include "bench/pty_round_trip.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

namespace zema::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Waits as the program and the sensor do, in poll(), then takes the byte.
bool TakeByte(int fd) {
  pollfd wait{fd, POLLIN, 0};
  while (::poll(&wait, 1, -1) < 0) {
    if (errno != EINTR) return false;
  }
  char byte = 0;
  return ::read(fd, &byte, 1) == 1;
}

}  // namespace

bool MeasurePtyRoundTrips(int count, std::chrono::nanoseconds pause, RoundTrips& result,
                          std::string& error) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    error = std::string("cannot make a pseudo-terminal: ") + std::strerror(errno);
    if (master >= 0) ::close(master);
    return false;
  }
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios raw{};
  if (terminal < 0 || ::tcgetattr(terminal, &raw) != 0) {
    error = std::string("cannot open the pseudo-terminal: ") + std::strerror(errno);
    ::close(master);
    if (terminal >= 0) ::close(terminal);
    return false;
  }
  ::cfmakeraw(&raw);
  ::tcsetattr(terminal, TCSANOW, &raw);

  const pid_t echo = ::fork();
  if (echo < 0) {
    error = std::string("cannot fork: ") + std::strerror(errno);
    ::close(master);
    ::close(terminal);
    return false;
  }
  if (echo == 0) {
    ::close(master);
    const char byte = 1;
    while (TakeByte(terminal) && ::write(terminal, &byte, 1) == 1) {
    }
    ::_exit(0);
  }
  ::close(terminal);

  std::vector<std::chrono::nanoseconds> trips;
  const char byte = 1;
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_for(pause);
    const auto sent = Clock::now();
    if (::write(master, &byte, 1) != 1 || !TakeByte(master)) break;
    trips.push_back(Clock::now() - sent);
  }
  ::close(master);
  ::kill(echo, SIGTERM);
  ::waitpid(echo, nullptr, 0);
  if (trips.size() != static_cast<std::size_t>(count)) {
    error = "the round trips over the pseudo-terminal stopped";
    return false;
  }
  result.count = count;
  result.mean = std::accumulate(trips.begin(), trips.end(), std::chrono::nanoseconds(0)) / count;
  std::sort(trips.begin(), trips.end());
  result.median = trips[trips.size() / 2];
  result.p99 = trips[trips.size() * 99 / 100];
  result.max = trips.back();
  return true;
}

}  // namespace zema::bench
