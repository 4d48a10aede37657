// How closely the virtual sensor keeps to the line's real rate: a minimal
// client makes back-to-back exchanges with a zema-sim program through the
// link layer and compares the time they took with the time their bytes need
// on the wire (10 bits a byte, plus the modelled flash delay of a commit).
//
// Whatever the client measures above the wire time is what the sensor, the
// pseudo-terminal and the client's own wake-ups add together; with the
// client doing nothing but Exchange, it is the sensor's overhead as a
// program under test sees it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "link/commands.h"

namespace zema::bench {

// The commands a run can repeat, by the names the tool's options use.
struct ExchangeKind {
  const char* name;
  SensorCommand command;
};
const std::vector<ExchangeKind>& ExchangeKinds();
// nullptr for an unknown name.
const ExchangeKind* FindExchangeKind(const std::string& name);

struct PacingRun {
  std::string simProgram;               // path of zema-sim
  SensorCommand command = kCmdReadBlock;
  int count = 100;                      // exchanges measured
  int warmUp = 5;                       // exchanges made before measuring
  // COMMUNIC 1..5 (4800 to 57600 baud) of a running sensor reached with
  // the handshake; 0 for a sensor in its menu at 57600 baud.
  int communic = 5;
  bool paced = true;
  int flashDelayMs = 0;
  // When set, the sensor keeps its memory in this file (what a stored
  // parameter set or flash image costs the reply).
  std::string stateFile;
  std::string simErrorLog;  // where zema-sim's messages go; empty: nowhere
};

struct PacingResult {
  unsigned baud = 0;
  int exchanges = 0;
  long long wireBytes = 0;             // commands and replies, all exchanges
  std::chrono::nanoseconds wireTime{}; // their line time plus flash delays
  std::chrono::nanoseconds measured{}; // wall time of the exchanges
  // Per exchange, measured minus its own wire time.
  std::chrono::nanoseconds minOverhead{}, medianOverhead{}, p99Overhead{}, maxOverhead{};
  std::chrono::nanoseconds simCpu{-1};    // zema-sim's CPU during the exchanges
  std::chrono::nanoseconds clientCpu{};   // this process's CPU during them

  double Ratio() const;
  std::chrono::nanoseconds OverheadPerExchange() const;
};

// Starts zema-sim, connects, makes the exchanges and stops it again. false
// with `error` set when anything fails (an exchange that fails ends it).
bool MeasureSimPacing(const PacingRun& run, PacingResult& result, std::string& error);

// A few lines for a human: the figures of `result` and what they mean.
std::string DescribePacing(const PacingRun& run, const PacingResult& result);

}  // namespace zema::bench
