#include "tests/fuzz/memory_line.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "link/serial_port_backend.h"

namespace {

std::vector<std::uint8_t> g_incoming;
std::size_t g_readAt = 0;
std::vector<std::uint8_t> g_written;

}  // namespace

namespace memory_line {

void Load(std::span<const std::uint8_t> incoming) {
  g_incoming.assign(incoming.begin(), incoming.end());
  g_readAt = 0;
  g_written.clear();
}

std::size_t Unread() { return g_incoming.size() - g_readAt; }

const std::vector<std::uint8_t>& Written() { return g_written; }

}  // namespace memory_line

// Every port opens onto the one memory line and takes every setting.
namespace serial_backend {

std::string DefaultDevice(int port) { return "memory line " + std::to_string(port); }

std::string DeviceForDetail(const std::string& device) { return device; }

bool OpenDevice(const std::string&, int, int, NativePort& native, int& systemError) {
  native.fd = 0;
  systemError = 0;
  return true;
}

std::string DescribeOpenFailure(int, const std::string& device, bool, int) {
  return device + " cannot fail to open";
}

CloseOutcome CloseDevice(NativePort& native) {
  native.fd = -1;
  return CloseOutcome::Closed;
}

// A memory line is never held exclusively.
void ReleaseAllExclusive() {}

bool ReadLineState(const NativePort&, LineState& state) {
  state = LineState{};
  return true;
}
bool SetSpeed(LineState&, unsigned) { return true; }
bool SetParity(LineState&, int) { return true; }
bool SetStopBits(LineState&, int) { return true; }
bool SetDataBits(LineState&, int) { return true; }
bool SetFlowControl(LineState&, const LineModeFields&) { return true; }
bool WriteLineState(NativePort&, const LineState&) { return true; }

bool SetReadTimeouts(NativePort& native, int milliseconds) {
  native.readIntervalMs = milliseconds;
  native.readTotalMs = milliseconds;
  return true;
}

bool SetWriteTimeout(NativePort& native, int milliseconds) {
  native.writeTotalMs = milliseconds;
  return true;
}

int WaitingBytes(NativePort&) { return static_cast<int>(memory_line::Unread()); }

int ReadBytes(NativePort&, void* buffer, int count) {
  const std::size_t taken = std::min(static_cast<std::size_t>(count), memory_line::Unread());
  if (taken > 0) std::memcpy(buffer, g_incoming.data() + g_readAt, taken);
  g_readAt += taken;
  return static_cast<int>(taken);
}

int WriteBytes(NativePort&, const void* buffer, int count) {
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  g_written.insert(g_written.end(), bytes, bytes + count);
  return count;
}

bool DiscardInput(NativePort&) {
  g_readAt = g_incoming.size();
  return true;
}

}  // namespace serial_backend
