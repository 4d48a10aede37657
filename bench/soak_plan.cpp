#include "bench/soak_plan.h"

#include <cstdio>

#include "bench/random_draws.h"
#include "link/commands.h"

namespace zema::bench {
namespace {

constexpr int kFirstCode = 0x81;
constexpr int kImageBlocks[2] = {kPatternSection0Blocks, kPatternSection1Blocks};

int& CountOf(std::array<int, 8>& counts, int code) {
  return counts[static_cast<std::size_t>(code - kFirstCode)];
}

int CountOf(const std::array<int, 8>& counts, int code) {
  return counts[static_cast<std::size_t>(code - kFirstCode)];
}

int TimeoutMs(int code) {
  return code == kCmdFlashCommit.code ? kCmdFlashCommit.timeoutMs : kReplyTimeoutMs;
}

// Picks the command a fault hits among those the run sends: each code
// alike, a flash commit's 30-second waits seldom.
int DrawCode(std::mt19937_64& random, const SoakPlan& plan, bool waitsFullTimeOut) {
  const auto counts = plan.CommandCounts();
  for (;;) {
    const int code = Between(random, kFirstCode, kFirstCode + 7);
    if (CountOf(counts, code) == 0) continue;
    if (code == kCmdFlashCommit.code && waitsFullTimeOut && !Chance(random, 0.1)) continue;
    return code;
  }
}

void DrawSelection(std::mt19937_64& random, SoakPlan& plan) {
  do {
    plan.params = Chance(random, 0.5);
    plan.common = Chance(random, 0.5);
    plan.compensation = Chance(random, 0.4);
    plan.patterns = Chance(random, 0.3);
  } while (!plan.params && !plan.common && !plan.compensation && !plan.patterns);
  plan.firstBank = Between(random, 0, kBankCount - 1);
  plan.lastBank = std::min(kBankCount - 1, plan.firstBank + Between(random, 0, 2));
}

void DrawFault(std::mt19937_64& random, SoakPlan& plan) {
  SoakFault& fault = plan.fault;
  std::vector<SoakFaultKind> kinds = {SoakFaultKind::kNoReply,        SoakFaultKind::kCutShort,
                                      SoakFaultKind::kWrongFirstByte, SoakFaultKind::kBadChecksum,
                                      SoakFaultKind::kLateReply,      SoakFaultKind::kSlowReply,
                                      SoakFaultKind::kHangUp};
  const auto counts = plan.CommandCounts();
  const bool stores =
      CountOf(counts, kCmdWriteParamSet.code) + CountOf(counts, kCmdFlashCommit.code) > 0;
  if (plan.command == SoakCommand::kWriteVerify && stores) {
    kinds.push_back(SoakFaultKind::kStoreWrong);
  }
  if (plan.commandMode) {
    kinds.push_back(SoakFaultKind::kHandshakeNak);
    kinds.push_back(SoakFaultKind::kHandshakeSilence);
  }
  fault.kind =
      kinds[static_cast<std::size_t>(Between(random, 0, static_cast<int>(kinds.size()) - 1))];
  if (fault.kind == SoakFaultKind::kHandshakeNak ||
      fault.kind == SoakFaultKind::kHandshakeSilence) {
    return;
  }
  if (fault.kind == SoakFaultKind::kStoreWrong) {
    std::vector<int> codes;
    for (int code : {kCmdWriteParamSet.code, kCmdFlashCommit.code}) {
      if (CountOf(counts, code) > 0) codes.push_back(code);
    }
    fault.code =
        codes[static_cast<std::size_t>(Between(random, 0, static_cast<int>(codes.size()) - 1))];
  } else {
    const bool waits = fault.kind == SoakFaultKind::kNoReply ||
                       fault.kind == SoakFaultKind::kCutShort ||
                       fault.kind == SoakFaultKind::kLateReply;
    fault.code = DrawCode(random, plan, waits);
  }
  fault.nth = Between(random, 1, CountOf(counts, fault.code));
  const int timeoutMs = TimeoutMs(fault.code);
  if (fault.kind == SoakFaultKind::kLateReply)
    fault.delayMs = timeoutMs + Between(random, 200, 800);
  if (fault.kind == SoakFaultKind::kSlowReply) {
    fault.delayMs = Between(random, 50, std::min(timeoutMs, 2000) - 400);
  }
}

const char* CommandName(SoakCommand command) {
  switch (command) {
    case SoakCommand::kRead:
      return "read";
    case SoakCommand::kWrite:
      return "write";
    case SoakCommand::kWriteVerify:
      return "write";
    case SoakCommand::kCompare:
      return "compare";
  }
  return "?";
}

}  // namespace

const char* SoakFaultName(SoakFaultKind kind) {
  static const char* const kNames[kSoakFaultKinds] = {
      "none", "no-reply", "cut-short",   "wrong-first-byte", "bad-checksum",     "late",
      "slow", "hang-up",  "store-wrong", "handshake-nak",    "handshake-silence"};
  return kNames[static_cast<int>(kind)];
}

std::array<int, 8> SoakPlan::CommandCounts() const {
  std::array<int, 8> counts{};
  const int banks = lastBank >= firstBank ? lastBank - firstBank + 1 : 0;
  const int sets = (params ? banks : 0) + (common ? 1 : 0);
  const int images = (compensation ? 1 : 0) + (patterns ? 2 * banks : 0);
  const int blocks = (compensation ? kCompensationLastBlock - kCompensationFirstBlock + 1 : 0) +
                     (patterns ? banks * (kImageBlocks[0] + kImageBlocks[1]) : 0);
  CountOf(counts, kCmdConfirm.code) = 1;
  const bool reads = command != SoakCommand::kWrite;
  const bool writes = command == SoakCommand::kWrite || command == SoakCommand::kWriteVerify;
  if (reads) {
    CountOf(counts, kCmdReadParamSet.code) = sets;
    CountOf(counts, kCmdSelectImage.code) = images;
    CountOf(counts, kCmdReadBlock.code) = blocks;
  }
  if (writes) {
    CountOf(counts, kCmdWriteParamSet.code) = sets;
    CountOf(counts, kCmdFlashCommit.code) = images;
    CountOf(counts, kCmdWriteBlock.code) = blocks;
  }
  if (resume) CountOf(counts, kCmdResume.code) = 1;
  return counts;
}

int SoakPlan::FaultWaitMs() const {
  switch (fault.kind) {
    case SoakFaultKind::kNoReply:
    case SoakFaultKind::kCutShort:
    case SoakFaultKind::kLateReply:
      return TimeoutMs(fault.code);
    case SoakFaultKind::kSlowReply:
      return fault.delayMs;
    case SoakFaultKind::kHandshakeSilence:
      return kReplyTimeoutMs;
    default:
      return 0;
  }
}

std::chrono::milliseconds SoakPlan::AllowedTime(std::chrono::milliseconds slack) const {
  constexpr auto kPerExchange = std::chrono::milliseconds(2);
  constexpr auto kPerStore = std::chrono::milliseconds(100);
  const auto counts = CommandCounts();
  int exchanges = 0;
  for (int count : counts) exchanges += count;
  const int stores =
      CountOf(counts, kCmdWriteParamSet.code) + CountOf(counts, kCmdFlashCommit.code);
  return std::chrono::milliseconds(FaultWaitMs()) + slack + exchanges * kPerExchange +
         stores * kPerStore;
}

std::string SoakPlan::Describe() const {
  std::string text = CommandName(command);
  if (command == SoakCommand::kWriteVerify) text += " --verify";
  if (params) text += " --params";
  if (common) text += " --common";
  if (compensation) text += " --compensation";
  if (patterns) text += " --patterns";
  text += " --banks " + std::to_string(firstBank) + "-" + std::to_string(lastBank);
  if (resume) text += " --resume";
  if (commandMode) text += " --command-mode";
  if (command == SoakCommand::kRead && !overwrite) text += " (no --overwrite)";
  if (readOnlyFolder) text += " (folder read-only)";
  if (skipMissing && (command == SoakCommand::kWrite || command == SoakCommand::kWriteVerify)) {
    text += " --skip-missing";
  }
  text += std::string("; fault ") + SoakFaultName(fault.kind);
  if (fault.code != 0) {
    char where[64];
    std::snprintf(where, sizeof where, " at 0x%02X #%d", fault.code, fault.nth);
    text += where;
  }
  if (fault.delayMs > 0) text += " (" + std::to_string(fault.delayMs) + " ms)";
  return text;
}

SoakPlan DrawPlan(std::uint64_t seed, double faultShare) {
  std::mt19937_64 random(seed);
  SoakPlan plan;
  plan.seed = seed;
  const int command = Between(random, 0, 19);
  plan.command = command < 8    ? SoakCommand::kRead
                 : command < 13 ? SoakCommand::kWrite
                 : command < 16 ? SoakCommand::kWriteVerify
                                : SoakCommand::kCompare;
  DrawSelection(random, plan);
  plan.resume = Chance(random, 0.3);
  plan.commandMode = Chance(random, 0.15);
  plan.readOnlyFolder = plan.command == SoakCommand::kRead && Chance(random, 0.15);
  const bool faulty = Chance(random, faultShare);
  // A run that can end early on its own (an overwrite refused, a file
  // skipped) sends commands that cannot be foreseen: only a run that goes
  // its whole way gets a fault.
  if (!faulty) {
    plan.overwrite = plan.readOnlyFolder || !Chance(random, 0.2);
    plan.skipMissing = Chance(random, 0.5);
    return plan;
  }
  DrawFault(random, plan);
  return plan;
}

std::vector<std::string> TransferArguments(const SoakPlan& plan, const std::string& base,
                                           int port) {
  std::vector<std::string> arguments = {CommandName(plan.command)};
  if (plan.params) arguments.push_back("--params");
  if (plan.common) arguments.push_back("--common");
  if (plan.compensation) arguments.push_back("--compensation");
  if (plan.patterns) arguments.push_back("--patterns");
  arguments.insert(arguments.end(), {"--banks", std::to_string(plan.firstBank) + "-" +
                                                    std::to_string(plan.lastBank)});
  arguments.insert(arguments.end(), {"--base", base, "--port", std::to_string(port)});
  if (plan.command == SoakCommand::kRead && plan.overwrite) arguments.push_back("--overwrite");
  if (plan.command == SoakCommand::kWriteVerify) arguments.push_back("--verify");
  const bool writes =
      plan.command == SoakCommand::kWrite || plan.command == SoakCommand::kWriteVerify;
  if (plan.skipMissing && writes) {
    arguments.push_back("--skip-missing");
  }
  if (plan.resume) arguments.push_back("--resume");
  if (plan.commandMode) arguments.insert(arguments.end(), {"--command-mode", "--speed", "57600"});
  return arguments;
}

std::vector<std::string> SimArguments(const SoakPlan& plan, const std::string& stateFile) {
  std::vector<std::string> arguments = {"--no-pace", "--flash-delay", "0", "--state", stateFile};
  if (plan.commandMode) arguments.insert(arguments.end(), {"--mode", "command", "--communic", "5"});
  const SoakFault& fault = plan.fault;
  switch (fault.kind) {
    case SoakFaultKind::kNone:
      break;
    case SoakFaultKind::kHandshakeNak:
      arguments.insert(arguments.end(), {"--fault", "handshake=nak"});
      break;
    case SoakFaultKind::kHandshakeSilence:
      arguments.insert(arguments.end(), {"--fault", "handshake=silence"});
      break;
    default: {
      const bool delayed =
          fault.kind == SoakFaultKind::kLateReply || fault.kind == SoakFaultKind::kSlowReply;
      const char* kind = delayed ? "delay" : SoakFaultName(fault.kind);
      char text[96];
      std::snprintf(text, sizeof text, "kind=%s:code=0x%02X:nth=%d", kind, fault.code, fault.nth);
      std::string item = text;
      if (delayed) item += ":ms=" + std::to_string(fault.delayMs);
      arguments.insert(arguments.end(), {"--fault", item});
    }
  }
  return arguments;
}

std::uint64_t RunSeed(std::uint64_t soakSeed, std::uint64_t index) {
  // splitmix64: neighbouring indices give unrelated seeds.
  std::uint64_t z = soakSeed + (index + 1) * 0x9E3779B97F4A7C15ULL;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

}  // namespace zema::bench
