#include "sim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zema::sim {
namespace {

struct SpeedEntry {
  speed_t code;
  unsigned baud;
};

constexpr SpeedEntry kSpeeds[] = {
    {B110, 110},     {B300, 300},     {B600, 600},       {B1200, 1200},
    {B2400, 2400},   {B4800, 4800},   {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

int MillisecondsUntil(std::chrono::steady_clock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(
      until - std::chrono::steady_clock::now());
  if (left.count() <= 0) return 0;
  return left.count() > 60000 ? 60000 : static_cast<int>(left.count());
}

timespec ToTimespec(std::chrono::steady_clock::time_point when) {
  // steady_clock is CLOCK_MONOTONIC on Linux.
  const auto since = when.time_since_epoch();
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
  timespec result{};
  result.tv_sec = static_cast<time_t>(seconds.count());
  result.tv_nsec = static_cast<long>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds).count());
  return result;
}

}  // namespace

std::chrono::nanoseconds LineTime(std::size_t bytes, unsigned baud) {
  if (baud == 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(static_cast<long long>(bytes) * 10 * 1000000000LL / baud);
}

PtyLine::~PtyLine() { HangUp(); }

bool PtyLine::Open(std::string& error) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
    HangUp();
    return false;
  }
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    HangUp();
    return false;
  }
  devicePath_ = name;
  terminalKeepAlive_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (terminalKeepAlive_ < 0) {
    error = "cannot open " + devicePath_ + ": " + std::strerror(errno);
    HangUp();
    return false;
  }
  termios settings{};
  ::tcgetattr(terminalKeepAlive_, &settings);
  ::cfmakeraw(&settings);
  ::cfsetispeed(&settings, B9600);
  ::cfsetospeed(&settings, B9600);
  ::tcsetattr(terminalKeepAlive_, TCSANOW, &settings);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

unsigned PtyLine::LineSpeed() const {
  termios settings{};
  if (master_ < 0 || ::tcgetattr(master_, &settings) != 0) return 0;
  const speed_t code = ::cfgetospeed(&settings);
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.code == code) return entry.baud;
  }
  return 0;
}

PtyLine::WaitResult PtyLine::WaitReadable(std::chrono::steady_clock::time_point until,
                                          int stopFd) const {
  if (master_ < 0) return WaitResult::kGone;
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, MillisecondsUntil(until));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return WaitResult::kGone;
    if (stopFd >= 0 && (fds[1].revents & POLLIN)) return WaitResult::kStopped;
    if (fds[0].revents & POLLIN) return WaitResult::kReadable;
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return WaitResult::kGone;
    if (ready == 0) return WaitResult::kTimedOut;
  }
}

int PtyLine::ReadAvailable(std::span<std::uint8_t> buffer) {
  for (;;) {
    const ssize_t n = ::read(master_, buffer.data(), buffer.size());
    if (n >= 0) return static_cast<int>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    return -1;
  }
}

bool PtyLine::Write(std::span<const std::uint8_t> bytes, unsigned pacedBaud) {
  if (master_ < 0) return false;
  const auto start = std::chrono::steady_clock::now();
  std::size_t done = 0;
  while (done < bytes.size()) {
    std::size_t chunk = bytes.size() - done;
    if (pacedBaud != 0) {
      // One byte at a time, each leaving at its absolute moment so that
      // sleeping late never adds up.
      const timespec due = ToTimespec(start + LineTime(done, pacedBaud));
      while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
      }
      chunk = 1;
    }
    const ssize_t n = ::write(master_, bytes.data() + done, chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The loader has not read what was sent before. A sensor's UART does
      // not wait for the receiver: give it a moment, then the rest is lost
      // on the line as it would be on a real one.
      pollfd out{master_, POLLOUT, 0};
      if (::poll(&out, 1, 1000) <= 0) return true;
      continue;
    }
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  if (pacedBaud != 0) {
    // The last byte is on the line until its stop bit has gone.
    const timespec due = ToTimespec(start + LineTime(bytes.size(), pacedBaud));
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
  }
  return true;
}

void PtyLine::HangUp() {
  if (master_ >= 0) ::close(master_);
  if (terminalKeepAlive_ >= 0) ::close(terminalKeepAlive_);
  master_ = -1;
  terminalKeepAlive_ = -1;
}

bool SleepUnlessStopped(std::chrono::steady_clock::time_point deadline, int stopFd) {
  for (;;) {
    const int wait = MillisecondsUntil(deadline);
    if (wait <= 0) return true;
    pollfd stop{stopFd, POLLIN, 0};
    const int ready = ::poll(&stop, stopFd >= 0 ? 1 : 0, wait);
    if (ready > 0) return false;
  }
}

}  // namespace zema::sim
