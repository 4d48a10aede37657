#include "bench/dialog_pace.h"

#include <cstdio>
#include <fstream>

#include "bench/wire_count.h"
#include "link/commands.h"
#include "link/frame_trace.h"

namespace zema::bench {
namespace {

// The compensation table's blocks 160 to 255.
constexpr int kTableBlocks = 96;
constexpr int kCompensationSelector = 2;

// The frame's bytes after the two spaces that follow the direction.
std::string FrameAfter(const std::string& line, const char* direction) {
  const std::size_t at = line.find(direction);
  if (at == std::string::npos) return {};
  return line.substr(at + std::char_traits<char>::length(direction) + 2);
}

}  // namespace

double StepPace::Ratio() const {
  return bound.count() > 0 ? static_cast<double>(wall.count()) / static_cast<double>(bound.count())
                           : 0.0;
}

bool CompensationStepPace(const std::string& traceFile, unsigned baud, StepPace& pace) {
  char selection[16];
  std::snprintf(selection, sizeof selection, "%02X %02X", kCmdSelectImage.code,
                kCompensationSelector);
  char block[8];
  std::snprintf(block, sizeof block, "%02X ", kCmdReadBlock.code);

  std::ifstream trace(traceFile);
  double selectedAt = -1;
  double lastReplyAt = -1;
  bool blockAsked = false;
  pace = {};
  for (std::string line; std::getline(trace, line) && pace.blocks < kTableBlocks;) {
    double seconds = 0;
    if (std::sscanf(line.c_str(), "%lf", &seconds) != 1) continue;
    const std::string sent = FrameAfter(line, kTraceFromPc);
    if (sent.starts_with(selection)) {
      selectedAt = seconds;
      pace.blocks = 0;
    } else if (selectedAt >= 0 && sent.starts_with(block)) {
      blockAsked = true;
    } else if (blockAsked && !FrameAfter(line, kTraceToPc).empty()) {
      blockAsked = false;
      lastReplyAt = seconds;
      ++pace.blocks;
    }
  }
  if (pace.blocks < kTableBlocks) return false;
  // The trace notes a command once it has arrived and a reply when it
  // starts to leave: the selection's own bytes come before, the last
  // reply's after.
  const auto traced = std::chrono::duration<double>(lastReplyAt - selectedAt);
  pace.wall = std::chrono::duration_cast<std::chrono::nanoseconds>(traced) +
              WireTime(kCmdSelectImage.payloadLength + 2, baud) +
              WireTime(kCmdReadBlock.replyLength + 2, baud);
  pace.bound = WireTime(kCmdSelectImage.WireBytes() +
                            static_cast<long long>(kTableBlocks) * kCmdReadBlock.WireBytes(),
                        baud);
  return true;
}

}  // namespace zema::bench
