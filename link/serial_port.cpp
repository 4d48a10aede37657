// The part of the serial port driver that every system shares: the port
// table, the checks each call makes, the settings of a freshly opened port
// and the order in which a LineMode word is applied. The system calls are
// in the backend (serial_port_backend.h).
#include "link/serial_port.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

#include "link/line_mode.h"
#include "link/port_trace.h"
#include "link/serial_port_backend.h"

namespace zema {

using namespace serial_backend;

namespace {

struct PortEntry {
  bool open = false;
  NativePort native;
  std::string device;  // as a failure names it
};

// Entry n belongs to port n; entry 0 is never used.
std::array<PortEntry, kLastPort + 1> g_ports;
// Paths given their own port number by ComBindDevice; empty: not bound.
std::array<std::string, kLastPort + 1> g_boundDevices;
// Guards opening, closing and binding; ComReleaseExclusive does without it
// (a signal handler may not wait).
std::mutex g_tableMutex;
std::atomic<std::uint64_t> g_bytesMoved = 0;

bool IsPortNumber(int port) { return port >= kFirstPort && port <= kLastPort; }

PortEntry* UsablePort(int port) {
  if (!IsPortNumber(port)) return nullptr;
  PortEntry& entry = g_ports[static_cast<std::size_t>(port)];
  return entry.open ? &entry : nullptr;
}

// The settings every port gets when it has just been opened; their results
// are not checked, as a port that takes none of them still carries bytes.
void ApplyOpenDefaults(int port) {
  ComSetMode(port, kLineModeOpenDefault);
  ComSetReadTimeout(port, kOpenTimeoutMs);
  ComSetWriteTimeout(port, kOpenTimeoutMs);
}

// Field codes that no system takes (the word's bits allow them, the driver
// gives them no meaning). A word with one of them is refused as a whole
// rather than applied without that field.
bool HasUndefinedCodes(const LineModeFields& f) {
  return f.parity > 5 || f.dataBits > 5 || f.rts > 4;
}

// A port still open when the program ends is closed as ComClose closes it:
// a POSIX tty's exclusive mark would otherwise outlive the program while
// another holder (a virtual sensor) keeps the tty open, and keep every
// ordinary user's next program out. This is the last resort of a program
// that did not call ComCloseAll: by now the objects a trace hook writes
// through (a view local to main) may be gone, so nothing is traced.
void CloseOpenPortsAtExit() {
  EndPortTrace();
  ComCloseAll();
}

}  // namespace

bool ComIsUnusable(int port) { return UsablePort(port) == nullptr; }

namespace {

// ComDevicePath, for a caller that holds the table's lock.
std::string DevicePathOf(int port) {
  if (!IsPortNumber(port)) return {};
  const std::string& bound = g_boundDevices[static_cast<std::size_t>(port)];
  return bound.empty() ? DefaultDevice(port) : bound;
}

}  // namespace

std::string ComDevicePath(int port) {
  const std::lock_guard lock(g_tableMutex);
  return DevicePathOf(port);
}

std::string ComPortName(int port) {
  const std::lock_guard lock(g_tableMutex);
  if (IsPortNumber(port) && !g_boundDevices[static_cast<std::size_t>(port)].empty()) {
    return g_boundDevices[static_cast<std::size_t>(port)];
  }
  return "COM" + std::to_string(port);
}

int ComBindDevice(const std::string& devicePath) {
  if (devicePath.empty()) return 0;
  const std::lock_guard lock(g_tableMutex);
  for (int port = kLastPort; port >= kFirstPort; --port) {
    const auto at = static_cast<std::size_t>(port);
    if (g_ports[at].open || !g_boundDevices[at].empty()) continue;
    g_boundDevices[at] = devicePath;
    return port;
  }
  return 0;
}

void ComUnbindDevice(int port) {
  const std::lock_guard lock(g_tableMutex);
  if (IsPortNumber(port)) g_boundDevices[static_cast<std::size_t>(port)].clear();
}

std::string ComLineGoneDetail(int port) {
  const PortEntry* entry = UsablePort(port);
  if (entry == nullptr || entry->native.gone.empty()) return {};
  return entry->device + ": the device went away (" + entry->native.gone + ")";
}

std::uint64_t ComBytesMoved() { return g_bytesMoved.load(std::memory_order_relaxed); }

void ComCountBytesMoved(std::uint64_t count) {
  g_bytesMoved.fetch_add(count, std::memory_order_relaxed);
}

int ComOpen(int port, int inQueueSize, int outQueueSize, std::string* failureDetail) {
  const auto fail = [failureDetail](int result, std::string detail) {
    if (failureDetail != nullptr) *failureDetail = std::move(detail);
    return result;
  };
  if (!IsPortNumber(port)) {
    return fail(kOpenBadNumber,
                port == 0 ? "no COM port was chosen"
                          : "COM" + std::to_string(port) + " is not a port number (1 to 256)");
  }
  {
    const std::lock_guard lock(g_tableMutex);
    PortEntry& entry = g_ports[static_cast<std::size_t>(port)];
    if (entry.open) {
      return fail(kOpenAlreadyOpen,
                  "COM" + std::to_string(port) + " is already open in this program");
    }
    NativePort native;
    const std::string device = DevicePathOf(port);
    int systemError = 0;
    if (!OpenDevice(device, inQueueSize, outQueueSize, native, systemError)) {
      const bool bound = !g_boundDevices[static_cast<std::size_t>(port)].empty();
      return fail(kOpenDeviceFailed, DescribeOpenFailure(port, device, bound, systemError));
    }
    entry.native = native;
    entry.device = DeviceForDetail(device);
    entry.open = true;
  }
  static const bool closedAtExit = std::atexit(CloseOpenPortsAtExit) == 0;
  (void)closedAtExit;
  ApplyOpenDefaults(port);
  return kOpenOk;
}

int ComClose(int port) {
  const std::lock_guard lock(g_tableMutex);
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  switch (CloseDevice(entry->native)) {
    case CloseOutcome::Closed:
      *entry = PortEntry{};
      return kComOk;
    case CloseOutcome::RefusedHandleGone:
      // Nothing is left to close: keeping the port marked open would hand a
      // reused handle number to its next caller.
      *entry = PortEntry{};
      return kComSystemRefused;
    case CloseOutcome::RefusedStillOpen:
      break;
  }
  return kComSystemRefused;
}

void ComCloseAll() {
  for (int port = kFirstPort; port <= kLastPort; ++port) {
    if (!ComIsUnusable(port)) ComClose(port);
  }
}

int ComSetMode(int port, std::uint32_t lineMode) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  const LineModeFields f = DecodeLineMode(lineMode);
  if (HasUndefinedCodes(f)) return kComSystemRefused;

  LineState state;
  if (!ReadLineState(entry->native, state)) return kComSystemRefused;
  // Each field is applied only when it is set, in this order on every
  // system; the port is written once, after every field has been taken.
  if (f.baudCode != 0 && !SetSpeed(state, BaudRateForCode(f.baudCode))) return kComSystemRefused;
  if (f.parity != 0 && !SetParity(state, f.parity)) return kComSystemRefused;
  if (f.stopBits != 0 && !SetStopBits(state, f.stopBits)) return kComSystemRefused;
  if (f.dataBits != 0 && !SetDataBits(state, DataBitsForCode(f.dataBits))) return kComSystemRefused;
  if (!SetFlowControl(state, f)) return kComSystemRefused;
  return WriteLineState(entry->native, state) ? kComOk : kComSystemRefused;
}

int ComSetReadTimeouts(int port, int intervalMs, int totalMs) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  if (intervalMs < 0 || totalMs < 0) return kComSystemRefused;
  return SetReadTimeouts(entry->native, intervalMs, totalMs) ? kComOk : kComSystemRefused;
}

int ComSetReadTimeout(int port, int milliseconds) {
  return ComSetReadTimeouts(port, milliseconds, milliseconds);
}

int ComSetWriteTimeout(int port, int milliseconds) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  if (milliseconds < 0) return kComSystemRefused;
  return SetWriteTimeout(entry->native, milliseconds) ? kComOk : kComSystemRefused;
}

int ComRxCount(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return 0;
  return WaitingBytes(entry->native);
}

int ComRead(int port, void* buffer, int count) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr || count <= 0) return 0;
  const int received = ReadBytes(entry->native, buffer, count);
  g_bytesMoved.fetch_add(static_cast<std::uint64_t>(received), std::memory_order_relaxed);
  return received;
}

int ComWrite(int port, const void* buffer, int count) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr || count <= 0) return 0;
  const int written = WriteBytes(entry->native, buffer, count);
  g_bytesMoved.fetch_add(static_cast<std::uint64_t>(written), std::memory_order_relaxed);
  return written;
}

int ComPurgeRx(int port) {
  PortEntry* entry = UsablePort(port);
  if (entry == nullptr) return kComNotUsable;
  return DiscardInput(entry->native) ? kComOk : kComSystemRefused;
}

void ComReleaseExclusive() { ReleaseAllExclusive(); }

}  // namespace zema
