// A simulated ZEMA sensor on a pseudo-terminal, answering the loader byte for
// byte as the real sensor does, faults included.
//
// Connection states:
//  - menu: the sensor shows its "PC LOAD/SAVE" menu and answers command
//    frames at 57600 baud. Command 0x87 is acknowledged but the sensor stays
//    in the menu (only an operator at the sensor leaves it), so the loader
//    may connect again.
//  - running: normal operation. Command frames are not answered; the only
//    thing the sensor listens for is the handshake "CPl" at the speed of its
//    COMMUNIC setting (1..5 = 4800, 9600, 19200, 38400, 57600 baud), which it
//    answers with ACK STX and then enters PC communication.
//  - PC communication: command frames at the COMMUNIC speed; 0x87 returns
//    the sensor to running. A repeated handshake is confirmed again (a
//    loader that ended without 0x87 may connect anew).
// Bytes sent at any other line speed than the sensor's own are not
// understood and are dropped without an answer.
//
// Frames: the sensor knows each command's payload length from its code. An
// unknown code, a wrong checksum, an unknown image selector or set index is
// answered with NAK (0x15), after the line has gone quiet and the rest of the
// garbled input has been discarded, so that the next frame starts clean. A
// frame that stops short is dropped without an answer when no byte follows
// for 200 ms.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sim/fault_plan.h"
#include "sim/line_timing.h"
#include "sim/pty_line.h"
#include "sim/sensor_memory.h"
#include "sim/state_keeper.h"

namespace zema::sim {

enum class ConnectionMode {
  kMenu,     // started in the "PC LOAD/SAVE" menu
  kCommand,  // started running, reached through the handshake
};

enum class SensorState { kMenu, kRunning, kPcCommunication };

inline constexpr int kMenuBaud = 57600;
inline constexpr int kDefaultFlashDelayMs = 2000;

// Line speed of COMMUNIC 1..5, 0 for any other value.
unsigned CommunicBaud(int communic);

struct SensorSettings {
  ConnectionMode mode = ConnectionMode::kMenu;
  int communic = 5;
  // Replies leave at the line's real rate; received frames are answered no
  // earlier than their last byte could have arrived.
  bool pacing = false;
  int flashDelayMs = kDefaultFlashDelayMs;
  // The latency timer of a USB serial adapter between the sensor and the
  // loader (see usb_adapter.h); 0 for a line straight into the PC.
  std::chrono::milliseconds adapterLatency{0};
  // Where the memory is kept between runs; empty to keep nothing. Loaded by
  // Start; every 0x82 and 0x86 is in its journal before the reply leaves,
  // and the file itself is brought up to date in the background and by
  // Stop (see StateKeeper).
  std::string stateFile;
  // Receives one line per byte exchange when set.
  std::function<void(const std::string&)> trace;
  // Receives every well-formed command frame, on the serving thread, before
  // the sensor carries it out: for tests that watch the exchanges.
  std::function<void(std::span<const std::uint8_t>)> onCommand;
  // Receives problems the sensor cannot answer on the line (state file).
  std::function<void(const std::string&)> report;
};

class VirtualSensor {
 public:
  // `memory` is what the sensor holds unless a state file replaces it.
  VirtualSensor(SensorSettings settings, SensorMemory memory);
  ~VirtualSensor();
  VirtualSensor(const VirtualSensor&) = delete;
  VirtualSensor& operator=(const VirtualSensor&) = delete;

  // Loads the state file, opens the line and serves it on a thread of its
  // own. false with `error` when the state file or its journal is damaged
  // or no pty could be made.
  bool Start(std::string& error);
  // Ends the serving thread and saves the state file. Safe to call twice.
  void Stop();

  // The terminal device the loader opens, e.g. /dev/pts/4.
  const std::string& devicePath() const { return line_.devicePath(); }
  SensorState state() const { return state_.load(); }
  // True once the line was closed by a hang-up fault or vanished.
  bool lineGone() const { return lineGone_.load(); }

  // Copy of the memory, and edits to it, safe while the sensor serves.
  SensorMemory Memory() const;
  void EditMemory(const std::function<void(SensorMemory&)>& edit);

  void SetFaults(FaultPlan plan);
  void SetFlashDelay(int milliseconds);
  void SetPacing(bool on);

 private:
  void Serve();
  void HandleRunningBytes(const std::uint8_t* bytes, std::size_t count);
  void ProcessFrames();
  bool StartsHandshake() const;
  // Answers "CPl" (or not, under a handshake fault), no earlier than
  // `arrived`, when its last byte came in; true when the sensor confirmed
  // PC communication.
  bool AnswerHandshake(LineClock::time_point arrived);
  // Carries out a frame whose last byte came in at `arrived`.
  void Execute(const std::vector<std::uint8_t>& frame, LineClock::time_point arrived);
  void DrainAndNak(const std::string& why);
  // Sends a reply, its transmission starting no earlier than `earliest`.
  void Send(const std::vector<std::uint8_t>& bytes, const std::string& meaning,
            LineClock::time_point earliest);
  // Hands a stored item to the state keeper (mutex_ held).
  void KeepStoredItem(const std::vector<std::uint8_t>& frame);
  unsigned OwnBaud() const;
  unsigned PacingBaud() const;
  void Trace(const char* direction, const std::uint8_t* bytes, std::size_t count,
             const std::string& meaning) const;
  void Report(const std::string& text) const;

  SensorSettings settings_;
  PtyLine line_;
  std::thread thread_;
  int stopPipe_[2] = {-1, -1};
  bool stopRequested_ = false;
  std::atomic<SensorState> state_;
  std::atomic<bool> lineGone_{false};

  mutable std::mutex mutex_;  // guards everything below
  SensorMemory memory_;
  FaultTracker faults_;
  std::unique_ptr<StateKeeper> keeper_;  // with a state file only

  // Serving thread only.
  std::vector<std::uint8_t> pending_;
  ArrivalModel arrivals_;  // when the bytes read would have come in on a line
  std::size_t handshakeMatched_ = 0;
};

}  // namespace zema::sim
