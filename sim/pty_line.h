// The sensor's end of the serial line: the master side of a pseudo-terminal.
//
// The terminal side is what the loader opens as a COM port. The line keeps
// a descriptor of its own on the terminal side, so the loader may open and
// close the port any number of times without the master seeing a hang-up.
// A pty pair shares one termios record, so the line speed the loader set is
// read on the master (again before each use: no notice comes of a change).
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "sim/line_timing.h"

namespace zema::sim {

class PtyLine {
 public:
  PtyLine() = default;
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // Creates the pty pair, terminal side raw at 9600 baud. false with `error`.
  bool Open(std::string& error);
  bool isOpen() const { return master_ >= 0; }
  const std::string& devicePath() const { return devicePath_; }

  // The speed the loader's side has set, in baud; 0 when it is not one of the
  // standard rates.
  unsigned LineSpeed() const;

  enum class WaitResult { kReadable, kTimedOut, kStopped, kGone };
  // Waits until bytes can be read, `until` passes, or `stopFd` becomes
  // readable.
  WaitResult WaitReadable(LineClock::time_point until, int stopFd) const;
  // Reads what is waiting (up to buffer size) without blocking; -1 when the
  // line is gone.
  int ReadAvailable(std::span<std::uint8_t> buffer);

  // Waits until `deadline`, or until `stopFd` becomes readable; false when
  // stopped. `exactly`: not later than the scheduler's usual wake-up
  // latency, at the price of a short busy wait.
  bool WaitUntil(LineClock::time_point deadline, int stopFd, bool exactly = false);

  enum class WriteResult { kDone, kStopped, kGone };
  // Writes all bytes, none before `earliest`. With `pacedBaud` non-zero the
  // bytes go out as a line of that speed would deliver them, transmission
  // starting at `earliest` or when the previous paced write has left the
  // line, whichever is later (see NextBurst); the call returns when the last
  // byte has been delivered. Through a modelled USB adapter they are
  // delivered in its packets instead (see NextUsbPacket).
  WriteResult Write(std::span<const std::uint8_t> bytes, unsigned pacedBaud,
                    LineClock::time_point earliest, int stopFd);

  // Puts a USB adapter with this latency timer between the line and the
  // reader; 0 for none (the default).
  void SetAdapterLatency(std::chrono::milliseconds latency) { adapterLatency_ = latency; }

  // Closes the sensor's side: the loader's reads end and its writes fail.
  void HangUp();

 private:
  bool SleepUntil(LineClock::time_point deadline, int stopFd);
  bool WriteNow(std::span<const std::uint8_t> bytes);

  int master_ = -1;
  int terminalKeepAlive_ = -1;
  // An absolute-time timer: poll() alone wakes no finer than a millisecond.
  int timer_ = -1;
  WakeLateness wakeLateness_;
  LineClock::time_point transmitterFreeAt_{};
  std::chrono::milliseconds adapterLatency_{0};
  std::string devicePath_;
};

}  // namespace zema::sim
