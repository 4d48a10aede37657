// A zema-sim program started for a benchmark, reachable through the link
// layer as a COM number of its own.
//
// The COM number is claimed as the test suite claims its ports
// (support/com_port_claim.h), so benchmarks and tests side by side never
// share one. zema-sim itself makes the dosdevices/com<n> link (--link) and
// removes it when it ends.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/com_port_claim.h"
#include "support/subprocess.h"

namespace zema::bench {

class SimProcess {
 public:
  SimProcess() = default;
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Claims a COM number, starts `program` with `arguments` and --link, and
  // waits until it has printed its terminal's path, at most `startLimit`.
  // Its standard error goes to `errorLog` (empty: discarded). false with
  // `error` set.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::string& errorLog, std::string& error,
             std::chrono::milliseconds startLimit = std::chrono::seconds(10));

  // Ends it with SIGTERM (it saves its state file, if any) and waits. false
  // when it did not end cleanly.
  bool Stop();

  int port() const { return claim_.port(); }
  pid_t pid() const { return child_.pid(); }
  const std::string& devicePath() const { return devicePath_; }

  // CPU time all of its threads have used so far (from /proc); negative when
  // it cannot be read.
  std::chrono::nanoseconds CpuTime() const;

 private:
  ComPortClaim claim_;
  Subprocess child_;
  std::string devicePath_;
};

}  // namespace zema::bench
