// Whole runs of zema-transfer against zema-sim programs, measured from
// outside as a user or a script sees them: each sensor a zema-sim on a COM
// number of its own, each run a zema-transfer process.
//
// What a run sends and receives is counted, not assumed, without making
// the timed run pay for it (--trace formats and writes every frame, about
// 0.08 ms an exchange here): a twin of the run with --trace against an
// unpaced sensor shows the frames, and the timed run's own count of bytes
// moved (its last progress line) must equal the twin's.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "bench/wire_count.h"
#include "support/device_server.h"
#include "support/program_run.h"

namespace zema::bench {

struct BenchSetup {
  std::string binFolder;   // zema-transfer, zema-sim, zema-loader
  std::string workFolder;  // files, traces, the sensors' state files
  std::string loaderScript;
  std::string wineLoaderScript;  // zema-loader.exe's READ under Wine
  std::string windowsBinFolder;  // the Windows build's zema-loader.exe
  unsigned baud = 57600;   // a sensor in its "PC LOAD/SAVE" menu
  int flashDelayMs = 2000; // a paced sensor's flash store
};

struct TransferJob {
  std::string name;                    // names its files in the work folder
  std::string command;                 // "read" or "write"
  std::vector<std::string> selection;  // zema-transfer's selection options
  std::string base;                    // base name, in the work folder
  bool paced = true;
  // The latency timer of a USB adapter the sensor's replies pass (zema-sim
  // --adapter-latency); 0 for none.
  int adapterLatencyMs = 0;
  // Through ser2net on the loopback (support/device_server.h), as
  // rfc2217:// or socket:// (kRfc2217, kRaw); none: the COM number.
  std::optional<DeviceServer::Mode> deviceServer = std::nullopt;
  // Nagle's algorithm left on on the server's side (ser2net's default), and
  // on zema-transfer's with its acknowledgements delayed (ZEMA_TCP_NAGLE=1).
  bool serverNagle = false;
  bool clientNagle = false;
};

struct TransferFigures {
  WireCount wire;                       // the frames, from the traced twin
  long long movedBytes = -1;            // the run's own count, after connecting
  ProgramOutcome program;               // under zema-bench-launch: its own figures
  std::chrono::nanoseconds simCpu{-1};  // the sensor's CPU during the run
  std::chrono::nanoseconds bound{};     // wire time of what was sent and received
  int flashDelayMs = 0;

  std::chrono::nanoseconds Wall() const { return program.ended - program.started; }
  double Ratio() const;                 // wall against the bound
  double CpuShare() const;              // zema-transfer's CPU, part of wall
  double SimCpuShare() const;           // zema-sim's, part of wall (negative: unknown)
};

struct SideBySide {
  std::vector<TransferFigures> runs;
  std::chrono::nanoseconds wall{};  // first start to last exit
};

// Runs the jobs at once, each against a sensor of its own, and puts the
// frames of `counted` (CountFrames) into each run's figures. false with
// `error` when a program could not be started, a run did not finish, or a
// run moved other bytes than its twin.
// One zema-transfer backup of a line of `sensors` paced virtual sensors,
// each copying `copy` ("copy = ..." and "banks = ..." lines of its
// inventory table), into `into`; `program` has its wall time, CPU and
// peak memory from the launcher. false with `error` when a program could
// not be started or a sensor was not backed up.
bool RunLineBackup(const BenchSetup& setup, int sensors, const std::string& copy,
                   const std::string& into, ProgramOutcome& program, std::string& error);

struct CountedFrames {
  WireCount wire;
  long long movedBytes = -1;
};
bool RunSideBySide(const BenchSetup& setup, const std::vector<TransferJob>& jobs,
                   const CountedFrames& counted, SideBySide& result, std::string& error);

// The frames of `job`, from a run with --trace against an unpaced sensor.
bool CountFrames(const BenchSetup& setup, const TransferJob& job, CountedFrames& counted,
                 std::string& error);

struct CancelTrial {
  std::chrono::nanoseconds latency{};  // SIGINT to exit
  int commandsAfterSignal = 0;         // frames zema-transfer sent after it
  int exitStatus = -1;
};

// A paced pattern READ stopped with SIGINT at a random moment among its
// blocks. This run has --trace: its frames tell when to stop it and
// whether it sent anything after the signal.
bool MeasureCancel(const BenchSetup& setup, unsigned seed, CancelTrial& trial,
                   std::string& error);

// The dialog's peak resident memory during a paced READ of the parameter
// sets and the compensation table, driven under Xvfb (the loader script).
bool MeasureLoaderPeakRss(const BenchSetup& setup, long& peakKb, std::string& error);
// The sensor's trace of that READ.
std::string LoaderTrace(const BenchSetup& setup);

// The same READ by zema-loader.exe under Wine (the Wine loader script);
// `trace` names the sensor's trace of it.
bool RunWineLoaderRead(const BenchSetup& setup, std::string& trace, std::string& error);

}  // namespace zema::bench
