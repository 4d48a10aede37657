#include "sim/fault_plan.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <utility>

namespace zema::sim {
namespace {

constexpr std::array<std::pair<FaultKind, const char*>, 7> kKindNames{{
    {FaultKind::kNoReply, "no-reply"},
    {FaultKind::kCutShort, "cut-short"},
    {FaultKind::kWrongFirstByte, "wrong-first-byte"},
    {FaultKind::kBadChecksum, "bad-checksum"},
    {FaultKind::kDelay, "delay"},
    {FaultKind::kHangUp, "hang-up"},
    {FaultKind::kStoreWrong, "store-wrong"},
}};

// Whole-text integer in decimal or 0x hex; false for anything else.
bool ParseNumber(const std::string& text, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 0);
  return errno == 0 && end != nullptr && *end == '\0';
}

}  // namespace

const char* FaultKindName(FaultKind kind) {
  for (const auto& [k, name] : kKindNames) {
    if (k == kind) return name;
  }
  return "?";
}

FaultTracker::Hit FaultTracker::OnCommand(int code) {
  ++total_;
  const int ofCode = ++perCode_[code & 0xFF];
  Hit hit;
  for (const CommandFault& fault : plan_.commands) {
    const bool codeMatches = fault.code == 0 || fault.code == code;
    const int count = fault.code == 0 ? total_ : ofCode;
    const bool countMatches = fault.nth == 0 || fault.nth == count;
    if (!codeMatches || !countMatches) continue;
    if (fault.kind == FaultKind::kStoreWrong) {
      hit.storeWrong = true;
    } else if (!hit.reply) {
      hit.reply = fault;
    }
  }
  return hit;
}

bool ParseFault(const std::string& text, FaultPlan& plan, std::string& error) {
  CommandFault fault;
  bool haveKind = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find(':', start), text.size());
    const std::string item = text.substr(start, end - start);
    start = end + 1;
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) {
      error = "fault \"" + text + "\": expected key=value, got \"" + item + "\"";
      return false;
    }
    const std::string key = item.substr(0, equals);
    const std::string value = item.substr(equals + 1);
    long number = 0;
    if (key == "handshake") {
      if (text.find(':') != std::string::npos) {
        error = "fault \"" + text + "\": handshake= stands alone";
        return false;
      }
      if (value == "nak") {
        plan.handshake = HandshakeFault::kNak;
      } else if (value == "silence") {
        plan.handshake = HandshakeFault::kSilence;
      } else {
        error = "fault \"" + text + "\": handshake fault is nak or silence";
        return false;
      }
      return true;
    } else if (key == "kind") {
      haveKind = false;
      for (const auto& [k, name] : kKindNames) {
        if (value == name) {
          fault.kind = k;
          haveKind = true;
        }
      }
      if (!haveKind) {
        error = "fault \"" + text + "\": unknown kind \"" + value + "\"";
        return false;
      }
    } else if (key == "nth") {
      if (!ParseNumber(value, number) || number < 1 || number > 1000000000) {
        error = "fault \"" + text + "\": nth must be a number from 1";
        return false;
      }
      fault.nth = static_cast<int>(number);
    } else if (key == "code") {
      if (!ParseNumber(value, number) || number < 0x81 || number > 0x88) {
        error = "fault \"" + text + "\": code must be 0x81 to 0x88";
        return false;
      }
      fault.code = static_cast<int>(number);
    } else if (key == "ms") {
      if (!ParseNumber(value, number) || number < 0 || number > 600000) {
        error = "fault \"" + text + "\": ms must be 0 to 600000";
        return false;
      }
      fault.delayMs = static_cast<int>(number);
    } else {
      error = "fault \"" + text + "\": unknown key \"" + key + "\"";
      return false;
    }
  }
  if (!haveKind) {
    error = "fault \"" + text + "\": kind= is missing";
    return false;
  }
  plan.commands.push_back(fault);
  return true;
}

}  // namespace zema::sim
