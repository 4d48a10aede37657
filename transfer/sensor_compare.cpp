#include "transfer/sensor_compare.h"

#include <array>
#include <optional>
#include <utility>

#include "formats/compensation_image.h"
#include "formats/image_file.h"
#include "formats/parameter_file.h"
#include "formats/pattern_image.h"
#include "formats/source_file.h"
#include "link/packet.h"
#include "res/messages.h"
#include "transfer/transfer_steps.h"

namespace {

using Block = std::array<std::uint8_t, kBlockBytes>;

// Where two blocks first differ, in the fields a READ keeps.
struct FirstDifference {
  int value;
  unsigned file;
  unsigned sensor;
};

class Comparer {
 public:
  Comparer(TransferRun& run, CompareReport& report, CompareLabel label)
      : run_(run), report_(report), label_(label) {}

  // The step line of an item of kind `readingText`.
  void ShowStep(int readingText) {
    run_.view.SetStepLine(
        LoadMessage(label_ == CompareLabel::Verifying ? kMsgVerifying : readingText));
  }

  // False when the comparison is to stop (link failure, cancel).
  bool ParameterSet(int slot);
  bool Compensation();
  bool PatternBank(int bank);

 private:
  bool Stopped() const { return run_.failure || run_.cancelState != kCancelNone; }
  void Record(int message, const std::string& detail = std::string()) {
    report_.differences.push_back({message, LoadMessage(message) + run_.filePath, detail});
  }
  void RecordBlock(int block, const FirstDifference& d) {
    Record(kMsgDiffersFromFile,
           FillMessage(kMsgBlockValueDiffers, {std::to_string(block), std::to_string(d.value),
                                               std::to_string(d.file),
                                               std::to_string(d.sensor)}));
  }
  // Opens the image file in run.filePath and checks its header; records why
  // not when it cannot be used.
  bool OpenImage(SourceFile& file);
  // Sends `selector` with 0x85, then reads `count` blocks from `first` on:
  // `expected` gives the words a WRITE would send for a block (its file
  // bytes taken from `file`), `differ` finds the first difference. Stops at
  // the first different block; the bar moves as `position` says.
  template <typename Expected, typename Differ, typename Position>
  bool Image(std::uint8_t selector, int first, int count, Expected expected, Differ differ,
             Position position);

  TransferRun& run_;
  CompareReport& report_;
  CompareLabel label_;
  bool itemDiffers_ = false;
};

bool Comparer::ParameterSet(int slot) {
  ShowStep(slot == kCommonSlot ? kMsgReadingCommonParams : kMsgReadingBankParams);
  if (!BuildItemPath(run_, slot, false)) return false;
  ParamFile file;
  const ParamFileStatus status = LoadParamFile(run_.filePath, file);
  if (status == ParamFileStatus::Missing) {
    Record(kMsgFileNotFound);
    return true;
  }
  if (Failure refused = RefuseParamFile(status, file, run_.filePath); refused.message != 0) {
    report_.differences.push_back({refused.message, std::move(refused.text), {}});
    return true;
  }
  run_.link.xfer[0] = static_cast<std::uint8_t>(slot);
  if (!ExchangeCommand(run_, kCmdReadParamSet, kProgressEnd / 2)) return false;
  const ParamSet inSensor = DecodeParamSet(run_.link.xfer.data());
  for (int i = 0; i < kParamValuesPerSet; ++i) {
    if (file.values[i] == inSensor[i]) continue;
    // Named as an editor shows the file: the line and its text.
    Record(kMsgDiffersFromFile,
           FillMessage(kMsgValueDiffers, {std::to_string(i + 1), file.lines[i],
                                          std::to_string(inSensor[i])}));
    break;
  }
  return true;
}

bool Comparer::OpenImage(SourceFile& file) {
  if (!file.Open(run_.filePath)) {
    Record(kMsgFileNotFound);
    return false;
  }
  if (CheckImageFile(file.stream()) != ImageFileStatus::Ok) {
    Record(kMsgImageFileRejected);
    return false;
  }
  return true;
}

template <typename Expected, typename Differ, typename Position>
bool Comparer::Image(std::uint8_t selector, int first, int count, Expected expected,
                     Differ differ, Position position) {
  run_.link.xfer[0] = selector;
  if (!ExchangeCommand(run_, kCmdSelectImage)) return false;
  Block wanted;
  for (int block = first; block < first + count; ++block) {
    expected(block, wanted);
    run_.link.xfer[0] = static_cast<std::uint8_t>(block);
    if (!ExchangeCommand(run_, kCmdReadBlock)) return false;
    if (const std::optional<FirstDifference> d = differ(block, wanted)) {
      RecordBlock(block, *d);
      itemDiffers_ = true;
      return true;
    }
    SetProgress(run_, position(block));
    if (PollCancel(run_)) return false;
  }
  return true;
}

bool Comparer::Compensation() {
  ShowStep(kMsgReadingCompensation);
  SetProgress(run_, 0);
  if (!BuildItemPath(run_, kCommonSlot, true)) return false;
  SourceFile file;
  if (!OpenImage(file)) return true;
  std::array<std::uint8_t, kMaxCompensationFileBytesPerBlock> bytes;
  const auto expected = [&](int block, Block& wire) {
    const auto fileBytes = std::span(bytes).first(CompensationFileBytes(block));
    CompensationFromFile(block, fileBytes, file.Read(fileBytes), wire);
  };
  const auto& xfer = run_.link.xfer;
  const auto differ = [&xfer](int block, const Block& wire) -> std::optional<FirstDifference> {
    // Only the samples the file carries, and of each what its file keeps:
    // the low byte, of which the file's (2 x value) mod 256 holds 7 bits. A
    // sensor's value of 128 or more thus equals its own backup.
    for (int s = FirstCarriedSample(block); s < kSamplesPerBlock; ++s) {
      const auto at = static_cast<std::size_t>(2 * s);
      const unsigned want = wire[at] & 0x7Fu;
      const unsigned have = xfer[at] & 0x7Fu;
      if (want != have) return FirstDifference{s, want, have};
    }
    return std::nullopt;
  };
  return Image(kCompensationSelector, kCompensationFirstBlock, kCompensationBlocks, expected,
               differ, CompensationBlockPosition);
}

bool Comparer::PatternBank(int bank) {
  ShowBankNo(run_, bank);
  SetProgress(run_, 0);
  if (!BuildItemPath(run_, bank, true)) return false;
  SourceFile file;
  if (!OpenImage(file)) return true;
  std::array<std::uint8_t, kMaxPatternFileBytesPerBlock> bytes;
  const auto expected = [&](int block, Block& wire) {
    const auto fileBytes = std::span(bytes).first(PatternFileBytes(block));
    PatternFromFile(block, fileBytes, file.Read(fileBytes), wire);
  };
  const auto& xfer = run_.link.xfer;
  const auto differ = [&xfer](int block, const Block& wire) -> std::optional<FirstDifference> {
    // The pixel words of the row's part in this block; the unused words of
    // an odd block are no pixels.
    for (int i = 0; i < PatternWordsInBlock(block); ++i) {
      const auto at = static_cast<std::size_t>(2 * i);
      const unsigned want = wire[at] | wire[at + 1] << 8;
      const unsigned have = xfer[at] | xfer[at + 1] << 8;
      if (want != have) return FirstDifference{i, want, have};
    }
    return std::nullopt;
  };
  itemDiffers_ = false;
  for (int section = 0; section < 2 && !itemDiffers_; ++section) {
    const auto position = [section](int block) { return PatternBlockPosition(section, block); };
    if (!Image(PatternSelector(bank, section), 0, PatternSectionBlocks(section), expected,
               differ, position)) {
      return false;
    }
  }
  return true;
}

}  // namespace

CompareReport CompareWithSensor(TransferRun& run, const TransferItems& items,
                                CompareLabel label) {
  CompareReport report;
  Comparer comparer(run, report, label);
  run.flags = RunFlags{};
  run.failure.reset();
  run.view.SetProgressRange(0, kProgressEnd);
  SetProgress(run, 0);
  bool going = true;
  for (int slot = 0; going && slot <= kCommonSlot; ++slot) {
    if (items.paramSlots.test(static_cast<std::size_t>(slot))) going = comparer.ParameterSet(slot);
    if (going && run.cancelState == kCancelNone) SetProgress(run, kProgressEnd);
    going = going && run.cancelState == kCancelNone;
  }
  if (going && items.compensation) going = comparer.Compensation();
  if (going && items.patternBanks.any()) {
    comparer.ShowStep(kMsgReadingPatterns);
    for (int bank = 0; going && bank < kBankCount; ++bank) {
      if (items.patternBanks.test(static_cast<std::size_t>(bank))) going = comparer.PatternBank(bank);
      going = going && run.cancelState == kCancelNone;
    }
  }
  if (run.failure) {
    report.end = CompareEnd::Failed;
  } else if (run.cancelState != kCancelNone) {
    report.end = CompareEnd::Cancelled;
  } else {
    SetProgress(run, kProgressEnd);
    report.end = report.differences.empty() ? CompareEnd::Equal : CompareEnd::Different;
  }
  return report;
}
