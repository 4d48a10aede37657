// Serial port driver: owns every COM port the program opens.
//
// The port table is the driver's registry: it lets a forced end release
// every port and an exit handler close what is left. Opening, closing and
// binding take its lock, so that links on different ports may live on
// different threads; the calls on one port are made by one thread at a time.
//
// Callers name a port by its number (1 to 256, "COM1" is 1) and never see an
// operating-system handle. Every call is synchronous. Results follow the
// driver's conventions: status calls return 0 on success and a small positive
// code on failure, counting calls return a count (0 when the port is not
// usable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zema {

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 256;

// Line settings applied by ComOpen to every freshly opened port:
// 9600 baud, 8N1, DTR and RTS on, no CTS/DSR flow control, no XON/XOFF.
inline constexpr std::uint32_t kLineModeOpenDefault = 0x2A225117;
// Read and write time-out of a freshly opened port; the PC-mode handshake
// reads with it.
inline constexpr int kOpenTimeoutMs = 1000;
// 57600 baud, no parity, everything else as it was (fixed speed of the
// sensor's "PC LOAD/SAVE" menu mode).
inline constexpr std::uint32_t kLineMode57600NoParity = 0x10C;

// ComOpen results.
inline constexpr int kOpenOk = 0;
inline constexpr int kOpenBadNumber = 1;
inline constexpr int kOpenAlreadyOpen = 2;
inline constexpr int kOpenDeviceFailed = 3;

// Results of ComClose, ComSetMode, ComSetReadTimeout, ComSetWriteTimeout and
// ComPurgeRx.
inline constexpr int kComOk = 0;
inline constexpr int kComNotUsable = 1;
inline constexpr int kComSystemRefused = 2;

// On failure `failureDetail` (when given) says why in one line: the device
// it tried and what the system said (with a hint where one helps), or why
// the number itself was refused.
int ComOpen(int port, int inQueueSize, int outQueueSize, std::string* failureDetail = nullptr);
int ComClose(int port);
// Applies the whole word or, with result 2, leaves the port as it was.
int ComSetMode(int port, std::uint32_t lineMode);
// A read ends when `intervalMs` pass between two bytes or `totalMs` since it
// began (0: no such limit); ComSetReadTimeout sets both to one value.
int ComSetReadTimeouts(int port, int intervalMs, int totalMs);
int ComSetReadTimeout(int port, int milliseconds);
int ComSetWriteTimeout(int port, int milliseconds);
int ComRxCount(int port);
// Returns when `count` bytes have arrived, or with what arrived when the
// read time-out passes or the line is gone.
int ComRead(int port, void* buffer, int count);
// Returns when the bytes have left the port, or when the write time-out
// passes or the line is gone; bytes not sent by then are dropped and not
// counted.
int ComWrite(int port, const void* buffer, int count);
int ComPurgeRx(int port);

// True when port is outside 1..256 or not open.
bool ComIsUnusable(int port);

// The device a port number opens: the path bound to it by ComBindDevice,
// else the system's own rule (port_device_path.h on POSIX, \\.\COM<n> on
// Windows).
std::string ComDevicePath(int port);

// How the user named the port: "COM<n>", or the device path bound to it.
std::string ComPortName(int port);

// Gives a device path a port number of its own, so that callers who name
// ports by number can open any device: the highest number that is neither
// open nor bound already. Returns the number, or 0 when none is free. The
// binding lasts until ComUnbindDevice; it changes nothing outside this
// program.
int ComBindDevice(const std::string& devicePath);
void ComUnbindDevice(int port);

// Why the line of an open port went away (an adapter pulled out, a virtual
// sensor ended), in one line: the device and what the system said. Empty
// while the line is there; once gone, a line stays gone until the port is
// closed.
std::string ComLineGoneDetail(int port);

// Closes every port still open, as ComClose does. A program calls it before
// it ends, while the trace it may report to still exists; a port left open
// is closed by an exit handler, which reports nothing.
void ComCloseAll();

// Takes back the exclusive mark of every open port without closing it, for
// a program about to end without its exit handlers (a forced end); safe in
// a signal handler. Ports closed or left open at a normal end need nothing.
void ComReleaseExclusive();

// Bytes read and written through the driver on all ports since the program
// started: what a progress display counts. Safe from any thread.
std::uint64_t ComBytesMoved();
// Adds what a port outside the driver (a network port) moved to that count.
void ComCountBytesMoved(std::uint64_t count);

}  // namespace zema
