#include "sim/command_handler.h"

#include <algorithm>

#include "link/packet.h"

namespace zema::sim {
namespace {

constexpr SensorCommand kCommands[] = {kCmdReadParamSet, kCmdWriteParamSet, kCmdReadBlock,
                                       kCmdWriteBlock,   kCmdSelectImage,   kCmdFlashCommit,
                                       kCmdResume,       kCmdConfirm};

CommandOutcome Nak() {
  CommandOutcome outcome;
  outcome.nak = true;
  return outcome;
}

void SpoilMiddleWord(std::span<std::uint8_t> bytes) {
  const std::size_t middle = bytes.size() / 4;  // words / 2
  SetWordAt(bytes, middle, static_cast<std::uint16_t>(WordAt(bytes, middle) ^ 0x0001));
}

}  // namespace

int CommandPayloadLength(std::uint8_t code) {
  for (const SensorCommand& command : kCommands) {
    if (command.code == code) return command.payloadLength;
  }
  return -1;
}

std::vector<std::uint8_t> AckFrame(std::span<const std::uint8_t> payload) {
  std::vector<std::uint8_t> frame;
  frame.reserve(payload.size() + 2);
  frame.push_back(kAck);
  frame.insert(frame.end(), payload.begin(), payload.end());
  frame.push_back(FrameChecksum(frame));
  return frame;
}

CommandOutcome HandleCommand(SensorMemory& memory, std::span<const std::uint8_t> frame,
                             bool storeWrong) {
  const std::uint8_t code = frame[0];
  const auto payload = frame.subspan(1, frame.size() - 2);
  CommandOutcome outcome;
  switch (code) {
    case kCmdReadParamSet.code: {
      if (payload[0] >= kParamSetCount) return Nak();
      outcome.payload = ParamSetBytes(memory.params[payload[0]]);
      return outcome;
    }
    case kCmdWriteParamSet.code: {
      if (payload[0] >= kParamSetCount) return Nak();
      std::uint8_t bytes[kParamSetBytes];
      std::copy(payload.begin() + 1, payload.end(), bytes);
      if (storeWrong) SpoilMiddleWord(bytes);
      auto& set = memory.params[payload[0]];
      for (std::size_t i = 0; i < set.size(); ++i) set[i] = WordAt(bytes, i);
      outcome.storedChanged = true;
      return outcome;
    }
    case kCmdReadBlock.code: {
      const auto block = memory.TransferBlock(payload[0]);
      outcome.payload.assign(block.begin(), block.end());
      return outcome;
    }
    case kCmdWriteBlock.code: {
      std::copy(payload.begin() + 1, payload.end(), memory.TransferBlock(payload[0]).begin());
      return outcome;
    }
    case kCmdSelectImage.code: {
      const auto slot = ImageForSelector(payload[0]);
      if (!slot) return Nak();
      memory.LoadImage(*slot);
      return outcome;
    }
    case kCmdFlashCommit.code: {
      const auto slot = ImageForSelector(payload[0]);
      if (!slot) return Nak();
      memory.CommitImage(*slot);
      if (storeWrong) SpoilMiddleWord(memory.FlashImage(*slot));
      outcome.storedChanged = true;
      outcome.flashCommit = true;
      return outcome;
    }
    case kCmdResume.code:
      outcome.resume = true;
      return outcome;
    case kCmdConfirm.code:
      return outcome;
    default:
      return Nak();
  }
}

}  // namespace zema::sim
