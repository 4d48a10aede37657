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
  WaitResult WaitReadable(std::chrono::steady_clock::time_point until, int stopFd) const;
  // Reads what is waiting (up to buffer size) without blocking; -1 when the
  // line is gone.
  int ReadAvailable(std::span<std::uint8_t> buffer);

  // Writes all bytes. With `pacedBaud` non-zero, each byte leaves when it
  // would on a real line at that speed (10 bits per byte). false when the
  // line is gone.
  bool Write(std::span<const std::uint8_t> bytes, unsigned pacedBaud);

  // Closes the sensor's side: the loader's reads end and its writes fail.
  void HangUp();

 private:
  int master_ = -1;
  int terminalKeepAlive_ = -1;
  std::string devicePath_;
};

// Sleeps until `deadline` or until `stopFd` becomes readable; false when
// stopped.
bool SleepUnlessStopped(std::chrono::steady_clock::time_point deadline, int stopFd);

// Time a byte count takes on a line of `baud` at 10 bits per byte.
std::chrono::nanoseconds LineTime(std::size_t bytes, unsigned baud);

}  // namespace zema::sim
