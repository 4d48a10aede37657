// Whole runs of zema-transfer against zema-sim programs, measured from
// outside as a user or a script sees them: each sensor a zema-sim on a COM
// number of its own, each run a zema-transfer process with --trace, whose
// frames tell what was actually sent and received.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "bench/child_process.h"
#include "bench/wire_count.h"

namespace zema::bench {

struct BenchSetup {
  std::string binFolder;   // zema-transfer, zema-sim, zema-loader
  std::string workFolder;  // files, traces, the sensors' state files
  std::string loaderScript;
  unsigned baud = 57600;   // a sensor in its "PC LOAD/SAVE" menu
  int flashDelayMs = 2000; // a paced sensor's flash store
};

struct TransferJob {
  std::string name;                    // names its files in the work folder
  std::string command;                 // "read" or "write"
  std::vector<std::string> selection;  // zema-transfer's selection options
  std::string base;                    // base name, in the work folder
  bool paced = true;
};

struct TransferFigures {
  WireCount wire;
  ChildUsage usage;
  std::chrono::nanoseconds simCpu{-1};  // the sensor's CPU during the run
  std::chrono::nanoseconds bound{};     // wire time of what was sent and received
  int flashDelayMs = 0;

  double Ratio() const;                 // wall against the bound
  double CpuShare() const;              // zema-transfer's CPU, part of wall
  double SimCpuShare() const;           // zema-sim's, part of wall (negative: unknown)
};

struct SideBySide {
  std::vector<TransferFigures> runs;
  std::chrono::nanoseconds wall{};  // first start to last exit
};

// Runs the jobs at once, each against a sensor of its own. false with
// `error` when a program could not be started or a run did not finish.
bool RunSideBySide(const BenchSetup& setup, const std::vector<TransferJob>& jobs,
                   SideBySide& result, std::string& error);

struct CancelTrial {
  std::chrono::nanoseconds latency{};  // SIGINT to exit
  int commandsAfterSignal = 0;         // frames zema-transfer sent after it
  int exitStatus = -1;
};

// A paced pattern READ stopped with SIGINT at a random moment among its
// blocks.
bool MeasureCancel(const BenchSetup& setup, unsigned seed, CancelTrial& trial,
                   std::string& error);

// The dialog's peak resident memory during a paced READ of the parameter
// sets and the compensation table, driven under Xvfb (the loader script).
bool MeasureLoaderPeakRss(const BenchSetup& setup, long& peakKb, std::string& error);

}  // namespace zema::bench
