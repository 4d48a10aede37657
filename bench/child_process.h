// A program run by a benchmark as a child process, with what the kernel
// knows of it when it ends: wall time from start to exit, the CPU time it
// used, its peak resident memory.
//
// The wall time includes starting the program (exec, the dynamic loader)
// and its exit, as a user waiting for the program sees them. Run under
// zema-bench-launch, the figures are the program's own (see
// launch_main.cpp for why its peak memory needs that).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/subprocess.h"

namespace zema::bench {

using BenchClock = std::chrono::steady_clock;

struct ChildUsage {
  int exitStatus = -1;                 // exit code, or 128 + signal
  std::chrono::nanoseconds wall{};     // start to exit
  std::chrono::nanoseconds cpu{};      // user + system time
  long peakRssKb = 0;                  // the kernel's high-water mark of resident memory
  BenchClock::time_point startedAt{};
  BenchClock::time_point exitedAt{};
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] with its standard output and standard error going to
  // `outputPath` (both into the one file), or into a pipe that
  // outputFd() reads when `outputPath` is empty; under `launcher`
  // (zema-bench-launch) when that is given. false with `error` set.
  bool Start(const std::vector<std::string>& argv, const std::string& outputPath,
             std::string& error, const std::string& launcher = {});

  // Waits for the end and collects its usage (only once).
  ChildUsage Wait();
  // A descriptor that poll() finds readable once the program has ended.
  int exitFd() const { return child_.exitFd(); }

  // Sends `signal` (a launcher passes it on); returns the moment it was sent.
  BenchClock::time_point Signal(int signal) const;

  pid_t pid() const { return child_.pid(); }
  int outputFd() const { return child_.outFd(); }
  BenchClock::time_point started() const { return child_.started(); }

 private:
  Subprocess child_;
  std::string reportPath_;  // the launcher's, when there is one
};

// Waits for all of them, each timed at its own exit rather than when its
// turn to be collected comes.
std::vector<ChildUsage> WaitAll(const std::vector<ChildProcess*>& children);

// The whole of a text file (empty when it cannot be read).
std::string ReadWholeFile(const std::string& path);

}  // namespace zema::bench
