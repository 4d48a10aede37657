// One run of the soak, drawn at random from its seed: what zema-transfer
// does (command, selection, answers), how the sensor is reached, and the
// one fault the sensor commits (or none). The same seed always gives the
// same run, so a run that broke the promise replays exactly.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zema::bench {

enum class SoakCommand { kRead, kWrite, kWriteVerify, kCompare };

// The kinds as zema-sim's --fault names them, and those of the handshake.
enum class SoakFaultKind {
  kNone,
  kNoReply,
  kCutShort,
  kWrongFirstByte,
  kBadChecksum,
  kLateReply,  // later than its time-out
  kSlowReply,  // late, but within its time-out
  kHangUp,
  kStoreWrong,  // a stored word differs (WRITE --verify only)
  kHandshakeNak,
  kHandshakeSilence,
};
inline constexpr int kSoakFaultKinds = 11;
const char* SoakFaultName(SoakFaultKind kind);

struct SoakFault {
  SoakFaultKind kind = SoakFaultKind::kNone;
  int code = 0;     // the command it hits
  int nth = 0;      // which of that command's exchanges, from 1
  int delayMs = 0;  // late and slow replies
};

struct SoakPlan {
  std::uint64_t seed = 0;
  SoakCommand command = SoakCommand::kRead;
  bool params = false, common = false, compensation = false, patterns = false;
  int firstBank = 0, lastBank = 0;
  bool resume = false;
  bool commandMode = false;  // the sensor running; the handshake switches it
  bool overwrite = true;     // READ
  // READ: the folder takes no new file, so the older files are written in
  // place (each once its item has arrived whole).
  bool readOnlyFolder = false;
  bool skipMissing = false;  // WRITE
  SoakFault fault;

  // The exchanges of each command code (0x81 to 0x88) the run sends when
  // nothing goes wrong.
  std::array<int, 8> CommandCounts() const;
  // How long the faulty exchange may keep the program waiting, in ms.
  int FaultWaitMs() const;
  // What the run may take: the faulty exchange's wait, `slack` for
  // starting and connecting, and for its size a little per exchange and
  // per item stored (the sensor syncs each to its state file first) on a
  // machine shared with others.
  std::chrono::milliseconds AllowedTime(std::chrono::milliseconds slack) const;
  std::string Describe() const;
};

// The run of `seed`. `faultShare` of the runs (0 to 1) get a fault.
SoakPlan DrawPlan(std::uint64_t seed, double faultShare);

// zema-transfer's arguments (program path excluded) and zema-sim's.
std::vector<std::string> TransferArguments(const SoakPlan& plan, const std::string& base, int port);
std::vector<std::string> SimArguments(const SoakPlan& plan, const std::string& stateFile);

// The seed of run `index` of a soak started with `soakSeed`.
std::uint64_t RunSeed(std::uint64_t soakSeed, std::uint64_t index);

}  // namespace zema::bench
