// A built program run as a script runs it: its own process, nothing on its
// standard input, its output collected, English texts, an exit status.
// The tests and the benchmarks start zema-transfer, zema-sim, zema-loader
// and scripts this way.
//
//   const ProgramOutcome done = RunProgram("zema-transfer", {"resume", "--port", "101"});
//
// ProgramRun starts it and waits separately, for callers that act on the
// process while it runs (a signal, a second program beside it, its output
// read line by line). Runs may be started from several threads at once
// (see support/subprocess.h).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/subprocess.h"

namespace zema {

struct ProgramOutcome {
  int status = -1;       // exit status; -1 when it did not exit by itself
  int signal = 0;        // the signal that ended it, 0 when it exited
  bool overran = false;  // still running at the time limit: killed by the caller
  std::string out;       // standard output
  std::string err;       // standard error
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point ended;
  double cpuSeconds = 0;  // user and system time the process used
  long peakRssKb = 0;     // the kernel's high-water mark of its resident memory

  double seconds() const { return std::chrono::duration<double>(ended - started).count(); }
};

// Where a program's output goes and what it runs under; the defaults (two
// pipes, collected by Wait) suit a test.
struct ProgramSetup {
  // Standard output and error both into this file rather than pipes.
  std::string outputFile;
  // Standard error into standard output's pipe (read with outFd()).
  bool errorsAsOutput = false;
  // zema-bench-launch, run in between so that the figures (times, CPU,
  // peak memory) are the program's own, not inflated by a large parent
  // (see bench/launch_main.cpp). A signal that ends the program then shows
  // as status 128 + signal.
  std::string launcher;
};

class ProgramRun {
 public:
  explicit ProgramRun(ProgramSetup setup = {}) : setup_(std::move(setup)) {}
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Starts `program` (a file name in the running executable's folder, or a
  // path when it holds a "/") with LANG=C and `environment` ("NAME=value")
  // added. pid() is set before the program executes its first instruction,
  // so a hook that the program's actions call may signal it. false when it
  // could not be started (startError() says why); a program that cannot be
  // executed ends with status 127.
  bool Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::vector<std::string>& environment = {});
  const std::string& startError() const { return startError_; }

  pid_t pid() const { return child_.pid(); }
  // The read end of its output pipe, for reading it while it runs.
  int outFd() const { return child_.outFd(); }
  void Signal(int signal) const { child_.Signal(signal); }

  // CPU time (user and system) the running process has used so far; 0 once
  // it has ended.
  double CpuSecondsSoFar() const;

  // Collects the output until the program ends. A program still running
  // after `limit` is killed (outcome.overran): a hang fails a test, it does
  // not stall the suite. The limit is watched on the output pipes: output
  // into a file waits without one.
  ProgramOutcome Wait(std::chrono::milliseconds limit = std::chrono::seconds(90));

 private:
  ProgramSetup setup_;
  Subprocess child_;
  std::string startError_;
  std::string reportPath_;  // the launcher's
};

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {},
                          std::chrono::milliseconds limit = std::chrono::seconds(90));

}  // namespace zema
