#include "tests/support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <stdexcept>

namespace zema {

namespace {

unsigned SpeedInBaud(speed_t speed) {
  switch (speed) {
    case B110: return 110;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

void WriteAll(int fd, const Bytes& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put <= 0) return;
    done += static_cast<std::size_t>(put);
  }
}

}  // namespace

Bytes AckReply(const Bytes& payload) {
  Bytes reply;
  reply.reserve(payload.size() + 2);
  reply.push_back(kAck);
  for (std::uint8_t b : payload) reply.push_back(b);
  reply.push_back(FrameChecksum(reply));
  return reply;
}

PtyPeer::PtyPeer() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
    throw std::runtime_error("cannot open a pseudo-terminal");
  }
  devicePath_ = ::ptsname(master_);
  // Holding the terminal side open keeps the master readable while the
  // program closes and reopens the port.
  slaveKeepAlive_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios settings{};
  ::tcgetattr(slaveKeepAlive_, &settings);
  ::cfmakeraw(&settings);
  ::tcsetattr(slaveKeepAlive_, TCSANOW, &settings);
  if (::pipe(wakePipe_) != 0) throw std::runtime_error("cannot create a pipe");
  claim_ = std::make_unique<ComPortClaim>(devicePath_);
  port_ = claim_->port();
  thread_ = std::thread([this] { Serve(); });
}

PtyPeer::~PtyPeer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  char wake = 1;
  (void)!::write(wakePipe_[1], &wake, 1);
  thread_.join();
  claim_.reset();
  if (master_ >= 0) ::close(master_);
  if (slaveKeepAlive_ >= 0) ::close(slaveKeepAlive_);
  ::close(wakePipe_[0]);
  ::close(wakePipe_[1]);
}

void PtyPeer::ReplyAfter(std::size_t afterTotal, Bytes reply) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back({afterTotal, std::move(reply)});
  }
  char wake = 1;
  (void)!::write(wakePipe_[1], &wake, 1);
}

void PtyPeer::ReplyToNext(std::size_t count, Bytes reply) {
  std::size_t base;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    base = receivedBytes_.size();
  }
  ReplyAfter(base + count, std::move(reply));
}

void PtyPeer::SendNow(const Bytes& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!hungUp_) WriteAll(master_, bytes);
}

void PtyPeer::HangUp() {
  // The serving thread closes the master itself, so that it never polls a
  // descriptor number that has already been reused.
  std::unique_lock<std::mutex> lock(mutex_);
  if (hungUp_) return;
  hungUp_ = true;
  char wake = 1;
  (void)!::write(wakePipe_[1], &wake, 1);
  received_.wait(lock, [&] { return master_ < 0; });
}

Bytes PtyPeer::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return receivedBytes_;
}

bool PtyPeer::WaitForReceived(std::size_t count, std::chrono::milliseconds limit) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return received_.wait_for(lock, limit, [&] { return receivedBytes_.size() >= count; });
}

unsigned PtyPeer::SpeedAtByte(std::size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return index < speeds_.size() ? speeds_[index] : 0;
}

termios PtyPeer::CurrentSettings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  termios settings{};
  if (master_ >= 0) ::tcgetattr(master_, &settings);
  return settings;
}

void PtyPeer::SendDueReplies(std::unique_lock<std::mutex>&) {
  while (!replies_.empty() && receivedBytes_.size() >= replies_.front().afterTotal) {
    if (!hungUp_) WriteAll(master_, replies_.front().bytes);
    replies_.pop_front();
  }
}

void PtyPeer::Serve() {
  std::uint8_t buffer[512];
  for (;;) {
    int masterFd;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (stop_) return;
      if (hungUp_ && master_ >= 0) {
        ::close(slaveKeepAlive_);
        slaveKeepAlive_ = -1;
        ::close(master_);
        master_ = -1;
        received_.notify_all();
      }
      SendDueReplies(lock);
      masterFd = master_;
    }
    pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {masterFd, POLLIN, 0}};
    if (::poll(fds, masterFd >= 0 ? 2 : 1, -1) < 0) continue;
    if (fds[0].revents & POLLIN) {
      char drain[16];
      (void)!::read(wakePipe_[0], drain, sizeof drain);
    }
    if (masterFd < 0 || (fds[1].revents & POLLIN) == 0) continue;

    std::unique_lock<std::mutex> lock(mutex_);
    if (hungUp_) continue;
    ssize_t got = ::read(master_, buffer, sizeof buffer);
    if (got <= 0) continue;
    termios settings{};
    ::tcgetattr(master_, &settings);
    const unsigned speed = SpeedInBaud(cfgetospeed(&settings));
    receivedBytes_.insert(receivedBytes_.end(), buffer, buffer + got);
    speeds_.insert(speeds_.end(), static_cast<std::size_t>(got), speed);
    received_.notify_all();
  }
}

}  // namespace zema
