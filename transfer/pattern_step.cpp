// The pattern step: the pattern image of each bank of the range, in two
// sections with image selectors 4 + 4 * bank + 2 * section, and one bitmap
// file per bank.
#include <array>
#include <string>

#include "formats/image_file.h"
#include "formats/pattern_image.h"
#include "formats/source_file.h"
#include "formats/staged_file.h"
#include "link/packet.h"
#include "res/messages.h"
#include "transfer/transfer_steps.h"

int PatternBlockPosition(int section, int block) {
  return (section * kPatternSection0Blocks + block) * kProgressEnd / kPatternBankBlocks;
}

namespace {

constexpr int kSections = 2;

// The file replaces an older one only once both sections have arrived and
// have been written. A failure or stop in section 0 ends the bank at once:
// section 1 is then neither selected nor read.
void ReadBank(TransferRun& run, int bank) {
  if (!BuildItemPath(run, bank, true) || !AskOverwrite(run)) return;
  StagedFile file;
  if (!file.Create(run.filePath) || !file.Write(ImageFileHeader)) {
    FailFileCreation(run);
    return;
  }
  std::array<std::uint8_t, kMaxPatternFileBytesPerBlock> bytes;
  for (int section = 0; section < kSections; ++section) {
    run.link.xfer[0] = PatternSelector(bank, section);
    if (!ExchangeCommand(run, kCmdSelectImage)) return;
    for (int block = 0; block < PatternSectionBlocks(section); ++block) {
      run.link.xfer[0] = static_cast<std::uint8_t>(block);
      if (!ExchangeCommand(run, kCmdReadBlock)) return;
      const std::size_t count = PatternToFile(block, BlockOfXfer(run, 0), bytes);
      if (!file.Write(std::span(bytes).first(count))) {
        FailFileCreation(run);  // a full disk
        return;
      }
      SetProgress(run, PatternBlockPosition(section, block));
      if (PollCancel(run, file)) return;
    }
  }
  if (!file.Commit()) {
    FailFileCreation(run);
    return;
  }
  run.flags.anyDone = true;
}

// Message 133, the bank and message 127: "Patterns file3 is not found. Do
// you abort remaining file(s)?".
std::string MissingFileQuestion(int bank) {
  return LoadMessage(kMsgPatternsFile) + std::to_string(bank) + " " +
         LoadMessage(kMsgIsNotFoundAbort);
}

// Each section is committed on its own: a stop in section 1 leaves
// section 0 stored with the file's content.
void WriteBank(TransferRun& run, int bank) {
  if (run.skipped.patternBanks.test(static_cast<std::size_t>(bank))) return;
  if (!BuildItemPath(run, bank, true)) return;
  SourceFile file;
  if (!OpenImageSource(run, file, kMsgIsNotFoundAbort, MissingFileQuestion(bank))) return;
  std::array<std::uint8_t, kMaxPatternFileBytesPerBlock> bytes;
  for (int section = 0; section < kSections; ++section) {
    for (int block = 0; block < PatternSectionBlocks(section); ++block) {
      const auto fileBytes = std::span(bytes).first(PatternFileBytes(block));
      PatternFromFile(block, fileBytes, file.Read(fileBytes), BlockOfXfer(run, 1));
      run.link.xfer[0] = static_cast<std::uint8_t>(block);
      if (!ExchangeCommand(run, kCmdWriteBlock)) return;
      SetProgress(run, PatternBlockPosition(section, block));
      if (PollCancel(run, file)) return;
    }
    if (!FlashCommit(run, PatternSelector(bank, section))) return;
    ShowBankNo(run, bank);
  }
  run.written.patternBanks.set(static_cast<std::size_t>(bank));
  run.flags.anyDone = true;
}

bool BankSelected(const TransferRun& run, int bank) {
  return run.target.patterns != 0 && run.cancelState == kCancelNone &&
         BankInRange(run.target, bank);
}

void RunBankLoop(TransferRun& run, void (*transferBank)(TransferRun&, int)) {
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (!BankSelected(run, bank)) continue;
    ShowBankNo(run, bank);
    SetProgress(run, 0);
    transferBank(run, bank);
    if (run.failure || run.cancelState != kCancelNone) break;
  }
  if (run.cancelState == kCancelNone && !run.failure) SetProgress(run, kProgressEnd);
}

}  // namespace

void ReadPatterns(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgReadingPatterns));
  RunBankLoop(run, ReadBank);
}

void WritePatterns(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgWritingPatterns));
  RunBankLoop(run, WriteBank);
}

void CheckPatternFiles(TransferRun& run) {
  for (int bank = 0; bank < kBankCount; ++bank) {
    if (!BankSelected(run, bank)) continue;
    if (!BuildItemPath(run, bank, true)) return;
    const ImageFileStatus status = CheckImageFile(run.filePath);
    if (status == ImageFileStatus::Missing) {
      if (AskAbortMissing(run, kMsgIsNotFoundAbort, MissingFileQuestion(bank))) {
        return;
      }
      run.skipped.patternBanks.set(static_cast<std::size_t>(bank));
    }
    if (status == ImageFileStatus::Refused) {
      FailImageFile(run);
      return;
    }
  }
}
