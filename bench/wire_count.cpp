#include "bench/wire_count.h"

#include <cstdlib>
#include <sstream>

namespace zema::bench {
namespace {

// The trace's direction marks, each between two blanks on either side.
constexpr const char* kFromPc = "  PC -> ZEMA  ";
constexpr const char* kToPc = "  ZEMA -> PC  ";

// Frame bytes start after the mark and are two hex digits each, one blank
// apart; two blanks (or the line's end) begin the trace's comment.
int CountHexBytes(const std::string& line, std::size_t from, int& firstByte) {
  const std::size_t end = line.find("  ", from);
  const std::string hex = line.substr(from, end == std::string::npos ? std::string::npos : end - from);
  firstByte = -1;
  int count = 0;
  std::istringstream bytes(hex);
  std::string token;
  while (bytes >> token) {
    if (count == 0) firstByte = static_cast<int>(std::strtol(token.c_str(), nullptr, 16));
    ++count;
  }
  return count;
}

}  // namespace

std::chrono::nanoseconds WireTime(long long bytes, unsigned baud) {
  return std::chrono::nanoseconds(bytes * 10 * 1000000000LL / baud);
}

void WireCount::AddTraceLine(const std::string& line) {
  std::size_t at = line.find(kFromPc);
  const bool fromPc = at != std::string::npos;
  if (!fromPc) at = line.find(kToPc);
  if (at == std::string::npos) return;
  int first = -1;
  wireBytes += CountHexBytes(line, at + std::char_traits<char>::length(kFromPc), first);
  if (!fromPc || first < kCmdReadParamSet.code || first > kCmdConfirm.code) return;
  ++exchanges;
  if (first == kCmdReadBlock.code || first == kCmdWriteBlock.code) ++blockCommands;
  if (first == kCmdFlashCommit.code) ++flashCommits;
}

void WireCount::AddTrace(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) AddTraceLine(line);
}

std::chrono::nanoseconds WireCount::Bound(unsigned baud,
                                          std::chrono::milliseconds flashDelay) const {
  return WireTime(wireBytes, baud) + flashDelay * flashCommits;
}

}  // namespace zema::bench
