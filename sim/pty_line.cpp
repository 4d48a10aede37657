#include "sim/pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/usb_adapter.h"

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

int MillisecondsUntil(LineClock::time_point until) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - LineClock::now());
  if (left.count() <= 0) return 0;
  return left.count() > 60000 ? 60000 : static_cast<int>(left.count());
}

timespec ToTimespec(LineClock::time_point when) {
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
  timer_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
  if (timer_ < 0) {
    error = std::string("cannot create a timer: ") + std::strerror(errno);
    HangUp();
    return false;
  }
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

PtyLine::WaitResult PtyLine::WaitReadable(LineClock::time_point until, int stopFd) const {
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

bool PtyLine::WaitUntil(LineClock::time_point deadline, int stopFd, bool exactly) {
  if (!exactly) return SleepUntil(deadline, stopFd);
  // Timer wake-ups come tens of microseconds late on a busy or virtual
  // machine. Where that matters, wake up as early as they are late and
  // spend the rest of the wait looking at the clock.
  if (!SleepUntil(deadline - wakeLateness_.Margin(), stopFd)) return false;
  while (LineClock::now() < deadline) {
  }
  return true;
}

bool PtyLine::SleepUntil(LineClock::time_point deadline, int stopFd) {
  if (LineClock::now() >= deadline) return true;
  // A timerfd armed for the absolute moment wakes as soon as the scheduler
  // lets it; a poll() time-out is whole milliseconds, rounded up.
  itimerspec due{};
  due.it_value = ToTimespec(deadline);
  if (timer_ < 0 || ::timerfd_settime(timer_, TFD_TIMER_ABSTIME, &due, nullptr) != 0) {
    while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due.it_value, nullptr) == EINTR) {
    }
    return true;
  }
  for (;;) {
    pollfd fds[2] = {{timer_, POLLIN, 0}, {stopFd, POLLIN, 0}};
    const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (stopFd >= 0 && ready > 0 && (fds[1].revents & POLLIN)) return false;
    if (ready < 0 || (fds[0].revents & POLLIN)) break;
  }
  wakeLateness_.Observe(LineClock::now() - deadline);
  return true;
}

PtyLine::WriteResult PtyLine::Write(std::span<const std::uint8_t> bytes, unsigned pacedBaud,
                                    LineClock::time_point earliest, int stopFd) {
  if (master_ < 0) return WriteResult::kGone;
  const bool throughAdapter = adapterLatency_.count() > 0;
  if (pacedBaud == 0 && !throughAdapter) {
    if (!WaitUntil(earliest, stopFd)) return WriteResult::kStopped;
    return WriteNow(bytes) ? WriteResult::kDone : WriteResult::kGone;
  }
  // The schedule is absolute, so a late wake-up delays one burst, never the
  // bytes after it.
  const auto start = std::max(earliest, transmitterFreeAt_);
  transmitterFreeAt_ = start + LineTime(bytes.size(), pacedBaud);
  for (std::size_t done = 0; done < bytes.size();) {
    const Burst burst = throughAdapter
                            ? NextUsbPacket(done, bytes.size(), start, pacedBaud, adapterLatency_)
                            : NextBurst(done, bytes.size(), start, pacedBaud);
    // Only the last burst is waited for exactly: the reader sees the reply
    // complete when it arrives, and a late burst before it delays nothing.
    if (!WaitUntil(burst.due, stopFd, burst.end == bytes.size())) return WriteResult::kStopped;
    if (!WriteNow(bytes.subspan(done, burst.end - done))) return WriteResult::kGone;
    done = burst.end;
  }
  return WriteResult::kDone;
}

bool PtyLine::WriteNow(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
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
  return true;
}

void PtyLine::HangUp() {
  for (int* fd : {&master_, &terminalKeepAlive_, &timer_}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

}  // namespace zema::sim
