// A program built beside the test executable (build/bin), run as a script
// runs it: its own process, standard output and error collected, English
// texts, an exit status.
//
//   const ProgramOutcome done = RunProgram("zema-transfer", {"resume", "--port", "101"});
//
// ProgramRun starts it and waits separately, for tests that act on the
// process while it runs (a signal, a second program beside it). Runs may be
// started from several threads at once (see support/subprocess.h).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/subprocess.h"

struct ProgramOutcome {
  int status = -1;       // exit status; -1 when it did not exit by itself
  int signal = 0;        // the signal that ended it, 0 when it exited
  bool overran = false;  // still running at the time limit: killed by the test
  std::string out;       // standard output
  std::string err;       // standard error
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point ended;
  double cpuSeconds = 0;  // user and system time the process used

  double seconds() const { return std::chrono::duration<double>(ended - started).count(); }
};

class ProgramRun {
 public:
  ProgramRun() = default;
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  // Starts `program` (a file name in the test executable's folder, or a
  // path when it holds a "/") with
  // LANG=C and `environment` ("NAME=value") added. pid() is set before the
  // program executes its first instruction, so a hook that the program's
  // actions call may signal it.
  void Start(const std::string& program, const std::vector<std::string>& arguments,
             const std::vector<std::string>& environment = {});

  pid_t pid() const { return child_.pid(); }

  // CPU time (user and system) the running process has used so far; 0 once
  // it has ended.
  double CpuSecondsSoFar() const;

  // Collects the output until the program ends. A program still running
  // after `limit` is killed (outcome.overran): a hang fails a test, it does
  // not stall the suite.
  ProgramOutcome Wait(std::chrono::milliseconds limit = std::chrono::seconds(90));

 private:
  Subprocess child_;
};

ProgramOutcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                          const std::vector<std::string>& environment = {},
                          std::chrono::milliseconds limit = std::chrono::seconds(90));
