#include "bench/soak_scene.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "bench/random_draws.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "transfer/compensation_image.h"
#include "transfer/pattern_image.h"

namespace zema::bench {
namespace {

namespace fs = std::filesystem;

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

std::string NameOf(const SensorItem& item) { return ItemPath(kSoakBaseName, item); }

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
  for (const SensorItem& item : scene.items) {
    if (!allThere && (plan.readOnlyFolder ? Chance(random, 0.3) : !Chance(random, 0.4))) {
      anyMissing = true;
      continue;
    }
    auto bytes = ItemFileBytes(other, item);
    if (Chance(random, 0.3)) bytes.resize(bytes.size() / 2);
    scene.files[NameOf(item)] = bytes;
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
  bool differs = false;
  for (const SensorItem& item : scene.items) {
    const auto bytes = ItemFileBytes(wanted, item);
    // A comparison with a fault must reach its faulty command: no difference
    // ends it earlier.
    if (plan.command == SoakCommand::kCompare && plan.fault.kind != SoakFaultKind::kNone) {
      scene.files[NameOf(item)] = ItemFileBytes(scene.sensor, item);
      continue;
    }
    differs = differs || bytes != ItemFileBytes(scene.sensor, item);
    scene.files[NameOf(item)] = bytes;
  }
  if (plan.command == SoakCommand::kCompare) {
    if (differs) {
      scene.expectedStatus = 1;
      scene.expectedMessage = kMsgDiffersFromFile;
    }
    return;
  }
  if (plan.fault.kind != SoakFaultKind::kNone || scene.items.empty()) return;
  const SensorItem& chosen = scene.items[static_cast<std::size_t>(
      Between(random, 0, static_cast<int>(scene.items.size()) - 1))];
  const int mishap = Between(random, 0, 9);
  if (mishap == 0) {
    scene.files.erase(NameOf(chosen));
    if (!plan.skipMissing) {
      scene.expectedStatus = 1;
      scene.expectedMessage = kMsgTransferAborted;
    }
  } else if (mishap == 1) {
    auto& bytes = scene.files[NameOf(chosen)];
    if (chosen.image) {
      bytes.resize(bytes.size() - static_cast<std::size_t>(Between(random, 1, 5000)));
    } else {
      // Twenty of its lines: too short to be a parameter set.
      std::size_t at = 0;
      for (int lines = 0; lines < 20 && at < bytes.size(); ++at) lines += bytes[at] == '\n' ? 1 : 0;
      bytes.resize(at);
    }
    scene.expectedStatus = 1;
    scene.expectedMessage = chosen.image ? kMsgImageFileRejected : kMsgParamFileTooShort;
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
  scene.items = SelectedItems(plan.params, plan.common, plan.compensation, plan.patterns,
                              plan.firstBank, plan.lastBank);
  // Another backup in the same folder, which no run may touch.
  scene.files["line2.prM.zema"] = ItemFileBytes(demo, {kCommonSlot, false});
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

FolderFiles ReadFolder(const std::string& folder) {
  FolderFiles files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] =
        std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

bool WriteFolder(const std::string& folder, const FolderFiles& files, std::string& error) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder, ignored);
  for (const auto& [name, bytes] : files) {
    std::ofstream out(fs::path(folder) / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      error = "cannot write " + name + " in " + folder;
      return false;
    }
  }
  return true;
}

}  // namespace zema::bench
