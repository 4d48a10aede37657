#include "support/child_output.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace zema {

bool LineReader::Next(std::string& line, int timeoutMs) {
  for (;;) {
    const std::size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return true;
    }
    if (ended_) return false;
    pollfd wait{fd_, POLLIN, 0};
    const int ready = ::poll(&wait, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[4096];
    const ssize_t got = ::read(fd_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ended_ = true;
      continue;
    }
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool CollectOutput(int outFd, int errFd, std::string& out, std::string& err,
                   std::chrono::steady_clock::time_point deadline,
                   const std::function<void()>& overdue) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* texts[2] = {&out, &err};
  int open = (outFd >= 0 ? 1 : 0) + (errFd >= 0 ? 1 : 0);
  bool overran = false;
  while (open > 0) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int ready =
        ::poll(fds, 2, overran ? -1 : static_cast<int>(std::max<long long>(0, left.count())));
    if (ready < 0) continue;
    if (ready == 0) {
      overran = true;
      overdue();
      continue;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  return overran;
}

}  // namespace zema
