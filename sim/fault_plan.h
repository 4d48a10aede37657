// Faults the virtual sensor can be told to commit, for reliability tests.
//
// A command fault names the commands it hits: the Nth command (counted from 1
// over all well-formed frames the sensor has taken), every command of one
// code, or, with both, the Nth command of that code. Reply faults act on the
// reply only: the command itself has been carried out, as when a reply is
// damaged on the wire. A hang-up cuts the line before the command is carried
// out. A store-wrong fault keeps one word of what 0x82 or 0x86 stored
// different from what was sent, and acknowledges normally.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zema::sim {

enum class FaultKind {
  kNoReply,         // stay silent
  kCutShort,        // send only the first half of the reply
  kWrongFirstByte,  // a reply that does not begin with ACK
  kBadChecksum,     // a reply whose checksum byte is wrong
  kDelay,           // reply only after delayMs
  kHangUp,          // close the line: the program's reads end, writes fail
  kStoreWrong,      // 0x82 / 0x86: one stored word differs from what was sent
};

struct CommandFault {
  FaultKind kind = FaultKind::kNoReply;
  int nth = 0;       // 1-based command number; 0 = any
  int code = 0;      // command code 0x81..0x88; 0 = any
  int delayMs = 1500;
};

enum class HandshakeFault { kNone, kNak, kSilence };

struct FaultPlan {
  std::vector<CommandFault> commands;
  HandshakeFault handshake = HandshakeFault::kNone;
};

// Counts commands and tells which faults hit each one.
class FaultTracker {
 public:
  struct Hit {
    std::optional<CommandFault> reply;  // the first reply fault (or hang-up) that applies
    bool storeWrong = false;
  };

  void SetPlan(FaultPlan plan) { plan_ = std::move(plan); }
  const FaultPlan& plan() const { return plan_; }

  // Call once per well-formed command frame, in order.
  Hit OnCommand(int code);

 private:
  FaultPlan plan_;
  int total_ = 0;
  int perCode_[256] = {};
};

// Parses one --fault argument, e.g. "nth=5:kind=no-reply",
// "code=0x84:kind=bad-checksum", "kind=delay:ms=1500:code=0x86",
// "handshake=nak". Adds it to `plan`; false with `error` set when the text is
// not understood.
bool ParseFault(const std::string& text, FaultPlan& plan, std::string& error);

// Names of the kinds as ParseFault accepts them, for help texts.
const char* FaultKindName(FaultKind kind);

}  // namespace zema::sim
