// What an operating system's backend does for the serial port driver.
//
// serial_port.cpp owns everything both systems share: the port table, the
// checks each call makes before it reaches the system, the settings of a
// freshly opened port and the order in which a LineMode word is applied. A
// backend (serial_port_posix.cpp, serial_port_win32.cpp) only makes the
// system calls. Both define these functions in the order declared here, so
// the two read side by side.
#pragma once

#include <cstdint>
#include <string>

#include "link/line_mode.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <termios.h>

#include "link/low_latency_linux.h"
#endif

namespace serial_backend {

#ifdef _WIN32

// The driver keeps the time-outs itself (SetCommTimeouts).
struct NativePort {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::string gone;  // why the line went away, in the system's words; empty while it is there
  int readTimeoutMs = 0;   // total, as set, to tell a read cut short from one that timed out
  int readIntervalMs = 0;  // as set
};

// The device control block being changed, and as it was read, to put back
// when the driver takes a block it cannot carry out.
struct LineState {
  DCB original{};
  DCB dcb{};
};

#else

// A tty has no time-outs of the kind the callers use: the backend keeps
// them and times its reads and writes itself.
struct NativePort {
  int fd = -1;
  int readIntervalMs = 0;  // longest gap between two received bytes, 0 = none
  int readTotalMs = 0;     // longest time for a whole read, 0 = none
  int writeTotalMs = 0;    // longest time for a whole write, 0 = none
  std::string gone;        // why the line went away, in the system's words; empty while it is there
  std::string device;      // for the trace
  LowLatencyChange lowLatency;  // what opening did to the flag, undone on close
};

// The settings being changed, and what cannot travel in a termios record:
// a speed without a termios constant and the modem lines.
struct LineState {
  termios original{};    // as read, to put back when the system refuses
  termios settings{};    // as changed
  unsigned customBaud = 0;  // bits per second without a termios constant, 0 = none
  int dtr = 0;           // DTR field of the word, 0 = leave
  int rts = 0;           // RTS field of the word, 0 = leave
};

#endif

// The device port n opens when no path is bound to it.
std::string DefaultDevice(int port);

// How a detail line names `device`, taken when the port opens (a link it
// went through may be gone by the time a failure names it).
std::string DeviceForDetail(const std::string& device);

// Opens `device` exclusively for reading and writing. On failure
// `systemError` holds the system's error code (errno, GetLastError).
bool OpenDevice(const std::string& device, int inQueueSize, int outQueueSize, NativePort& native,
                int& systemError);

// One line on a failed open of port `port` (device `device`, `bound` when a
// caller chose the path): the path, the system's words, and a hint where
// the cause is a common one.
std::string DescribeOpenFailure(int port, const std::string& device, bool bound,
                                int systemError);

enum class CloseOutcome {
  Closed,
  RefusedHandleGone,  // the system reported an error, yet the handle is gone
  RefusedStillOpen,   // the handle is still open and still belongs to the port
};
CloseOutcome CloseDevice(NativePort& native);

// ComReleaseExclusive: safe in a signal handler.
void ReleaseAllExclusive();

// Line settings. ReadLineState takes the port's current settings; the Set*
// helpers change the copy (false: the system cannot take the value), and
// only WriteLineState reaches the port: it applies the whole copy or leaves
// the port as it was.
bool ReadLineState(const NativePort& native, LineState& state);
bool SetSpeed(LineState& state, unsigned baud);
bool SetParity(LineState& state, int parityCode);
bool SetStopBits(LineState& state, int stopBitsCode);
bool SetDataBits(LineState& state, int dataBits);
bool SetFlowControl(LineState& state, const LineModeFields& fields);
bool WriteLineState(NativePort& native, const LineState& state);

// Time-outs in milliseconds (never negative here).
bool SetReadTimeouts(NativePort& native, int intervalMs, int totalMs);
bool SetWriteTimeout(NativePort& native, int milliseconds);

// Data (count is positive here). A read or write that finds the line gone
// (the device hung up or failed) says why in native.gone.
int WaitingBytes(NativePort& native);
int ReadBytes(NativePort& native, void* buffer, int count);
int WriteBytes(NativePort& native, const void* buffer, int count);
bool DiscardInput(NativePort& native);

}  // namespace serial_backend
