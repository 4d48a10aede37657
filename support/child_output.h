// Reading what a child process prints into its pipes.
#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace zema {

// Lines from a pipe as they come.
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  // The next line (without its line feed); false at the end of the output
  // or, with a time-out (milliseconds, -1 for none), when none came in time.
  bool Next(std::string& line, int timeoutMs);
  bool ended() const { return ended_; }

 private:
  int fd_;
  std::string buffer_;
  bool ended_ = false;
};

// Reads two pipes (either may be -1) until both have ended, closing each at
// its end. When `deadline` passes first, `overdue` is called once (it
// usually kills the child) and the reading goes on to the end; returns
// whether that happened.
bool CollectOutput(int outFd, int errFd, std::string& out, std::string& err,
                   std::chrono::steady_clock::time_point deadline,
                   const std::function<void()>& overdue);

}  // namespace zema
