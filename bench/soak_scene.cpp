#include "bench/soak_scene.h"

#include "bench/random_draws.h"
#include "formats/compensation_image.h"
#include "formats/pattern_image.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "support/sensor_files.h"

namespace zema::bench {
namespace {

// A few changes in what the files keep: parameter values, pattern pixel
// words, compensation samples (7 bits survive the file).
void Edit(std::mt19937_64& random, sim::SensorMemory& memory, int edits) {
  for (int i = 0; i < edits; ++i) {
    switch (Between(random, 0, 2)) {
      case 0:
        memory.params[static_cast<std::size_t>(Between(random, 0, sim::kParamSetCount - 1))]
                     [static_cast<std::size_t>(Between(random, 0, kParamValuesPerSet - 1))] =
            static_cast<std::uint16_t>(Between(random, 0, 0xFFFF));
        break;
      case 1: {
        const int block = Between(random, 0, kCompensationBlocks - 1);
        const int sample = Between(random, FirstCarriedSample(block + kCompensationFirstBlock),
                                   kSamplesPerBlock - 1);
        sim::SetWordAt(memory.compensation,
                       static_cast<std::size_t>(block * kSamplesPerBlock + sample),
                       static_cast<std::uint16_t>(Between(random, 0, 127)));
        break;
      }
      default: {
        const int section = Between(random, 0, 1);
        auto& image = memory.patterns[static_cast<std::size_t>(Between(random, 0, kBankCount - 1))]
                                     [static_cast<std::size_t>(section)];
        const int block = Between(random, 0, PatternSectionBlocks(section) - 1);
        const int word = Between(random, 0, PatternWordsInBlock(block) - 1);
        sim::SetWordAt(image, static_cast<std::size_t>(block * kBlockBytes / 2 + word),
                       static_cast<std::uint16_t>(Between(random, 0, 0xFFFF)));
      }
    }
  }
}

// A READ's folder: some of its files there already, from another sensor or
// damaged, which the run replaces whole or not at all.
void OlderFiles(std::mt19937_64& random, const SoakPlan& plan, SoakScene& scene) {
  sim::SensorMemory other = scene.sensor;
  Edit(random, other, 40);
  bool anyThere = false;
  // In a read-only folder a missing file cannot be made: in a run without
  // a fault now and then one is.
  const bool allThere =
      plan.readOnlyFolder && (plan.fault.kind != SoakFaultKind::kNone || Chance(random, 0.7));
  bool anyMissing = false;
  const FolderFiles others = SensorFiles(other, scene.items, kSoakBaseName);
  for (const std::string& name : ItemFilePaths(scene.items, kSoakBaseName)) {
    if (!allThere && (plan.readOnlyFolder ? Chance(random, 0.3) : !Chance(random, 0.4))) {
      anyMissing = true;
      continue;
    }
    std::string bytes = others.at(name);
    if (Chance(random, 0.3)) bytes.resize(bytes.size() / 2);
    scene.files[name] = bytes;
    anyThere = true;
  }
  if (anyThere && !plan.overwrite) {
    scene.expectedStatus = 3;
    scene.expectedMessage = kMsgFoundSameFilename;
  }
  if (plan.readOnlyFolder && anyMissing) {
    scene.expectedStatus = 1;
    scene.expectedMessage = kMsgFailedToCreateFile;
  }
}

// A WRITE's or a comparison's files: the sensor's own with a few changes,
// and in a run without a fault now and then one missing or damaged.
void SourceFiles(std::mt19937_64& random, const SoakPlan& plan, SoakScene& scene) {
  sim::SensorMemory wanted = scene.sensor;
  if (Chance(random, 0.7)) Edit(random, wanted, Between(random, 1, 6));
  const FolderFiles held = SensorFiles(scene.sensor, scene.items, kSoakBaseName);
  // A comparison with a fault must reach its faulty command: no difference
  // ends it earlier.
  const FolderFiles files =
      plan.command == SoakCommand::kCompare && plan.fault.kind != SoakFaultKind::kNone
          ? held
          : SensorFiles(wanted, scene.items, kSoakBaseName);
  const bool differs = files != held;
  for (const auto& [name, bytes] : files) scene.files[name] = bytes;
  if (plan.command == SoakCommand::kCompare) {
    if (differs) {
      scene.expectedStatus = 1;
      scene.expectedMessage = kMsgDiffersFromFile;
    }
    return;
  }
  const std::vector<std::string> names = ItemFilePaths(scene.items, kSoakBaseName);
  if (plan.fault.kind != SoakFaultKind::kNone || names.empty()) return;
  const std::string& chosen =
      names[static_cast<std::size_t>(Between(random, 0, static_cast<int>(names.size()) - 1))];
  const bool image = chosen.ends_with(".bmp");
  const int mishap = Between(random, 0, 9);
  if (mishap == 0) {
    scene.files.erase(chosen);
    if (!plan.skipMissing) {
      scene.expectedStatus = 1;
      scene.expectedMessage = kMsgTransferAborted;
    }
  } else if (mishap == 1) {
    std::string& bytes = scene.files[chosen];
    if (image) {
      bytes.resize(bytes.size() - static_cast<std::size_t>(Between(random, 1, 5000)));
    } else {
      // Twenty of its lines: too short to be a parameter set.
      std::size_t at = 0;
      for (int lines = 0; lines < 20 && at < bytes.size(); ++at) lines += bytes[at] == '\n' ? 1 : 0;
      bytes.resize(at);
    }
    scene.expectedStatus = 1;
    scene.expectedMessage = image ? kMsgImageFileRejected : kMsgParamFileTooShort;
  }
}

int FaultMessage(SoakFaultKind kind) {
  switch (kind) {
    case SoakFaultKind::kNoReply:
    case SoakFaultKind::kLateReply:
    case SoakFaultKind::kHangUp:
    case SoakFaultKind::kHandshakeSilence:
      return kMsgNoResponse;
    case SoakFaultKind::kCutShort:
    case SoakFaultKind::kBadChecksum:
      return kMsgChecksumError;
    case SoakFaultKind::kWrongFirstByte:
      return kMsgInvalidResponse;
    case SoakFaultKind::kStoreWrong:
      return kMsgDiffersFromFile;
    case SoakFaultKind::kHandshakeNak:
      return kMsgSensorGotInvalidData;
    default:
      return 0;
  }
}

}  // namespace

SoakScene DrawScene(const SoakPlan& plan) {
  static const sim::SensorMemory demo = sim::DemoMemory();
  // Its own stream, so that the plan's draws stay as they are when the
  // scene draws more.
  std::mt19937_64 random(plan.seed ^ 0x5CE7E5CE7E5CE7EULL);
  SoakScene scene;
  scene.sensor = demo;
  Edit(random, scene.sensor, Between(random, 0, 30));
  TransferTarget target;
  target.commonParams = plan.common;
  target.brightComp = plan.compensation;
  target.bankParams = plan.params;
  target.patterns = plan.patterns;
  target.startBank = plan.firstBank;
  target.endBank = plan.lastBank;
  scene.items = SelectedItems(target);
  // Another backup in the same folder, which no run may touch.
  TransferItems common;
  common.paramSlots.set(kCommonSlot);
  scene.files = SensorFiles(demo, common, "line2");
  if (plan.command == SoakCommand::kRead) {
    OlderFiles(random, plan, scene);
  } else {
    SourceFiles(random, plan, scene);
  }
  const int message = FaultMessage(plan.fault.kind);
  if (message != 0) {
    scene.expectedStatus = 1;
    scene.expectedMessage = message;
  }
  return scene;
}

}  // namespace zema::bench
