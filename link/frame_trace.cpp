#include "link/frame_trace.h"

#include <cstdio>

#include "link/commands.h"

namespace zema {

namespace {

FrameTraceHook g_frameTrace;

std::string DescribeSelector(int selector) {
  std::string text = "image " + std::to_string(selector);
  if (selector == kCompensationSelector) return text + " (compensation table)";
  const auto place = PatternForSelector(selector);
  if (!place) return text + " (unknown)";
  return text + " (bank " + std::to_string(place->bank) + ", section " +
         std::to_string(place->section) + ")";
}

std::string DescribeSet(int set) {
  if (set == kCommonSlot) return "common parameter set";
  return "parameter set " + std::to_string(set);
}

}  // namespace

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  char hex[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X ", b);
    text += hex;
  }
  if (!text.empty()) text.pop_back();
  return text;
}

std::string DescribeCommand(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return "nothing";
  const int argument = frame.size() > 2 ? frame[1] : -1;
  switch (frame[0]) {
    case 0x81: return "read " + DescribeSet(argument);
    case 0x82: return "write " + DescribeSet(argument);
    case 0x83: return "read block " + std::to_string(argument);
    case 0x84: return "write block " + std::to_string(argument);
    case 0x85: return "load " + DescribeSelector(argument);
    case 0x86: return "store flash " + DescribeSelector(argument);
    case 0x87: return "leave PC communication";
    case 0x88: return "confirm link";
    default: return "unknown command";
  }
}

std::string DescribeAck(std::size_t payloadBytes) {
  if (payloadBytes == 0) return "ACK";
  return "ACK, " + std::to_string(payloadBytes) + " bytes";
}

std::string TraceLine(const char* direction, std::span<const std::uint8_t> bytes,
                      const std::string& meaning) {
  std::string line = direction;
  line += "  ";
  line += HexBytes(bytes);
  if (!meaning.empty()) {
    line += "  ";
    line += meaning;
  }
  return line;
}

std::string TimedTraceLine(double seconds, const std::string& line) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%9.3f  ", seconds);
  return stamp + line;
}

void SetFrameTraceHook(FrameTraceHook hook) { g_frameTrace = std::move(hook); }

const FrameTraceHook& FrameTrace() { return g_frameTrace; }

}  // namespace zema
