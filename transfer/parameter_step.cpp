// The parameter step: one parameter set per selected slot, the banks of the
// range first (0 to 14), the common set (15) last.
#include <string>
#include <utility>

#include "formats/parameter_file.h"
#include "formats/staged_file.h"
#include "link/commands.h"
#include "res/messages.h"
#include "transfer/transfer_steps.h"

namespace {

constexpr int kAwaitingReply = 256;

bool SlotSelected(const TransferTarget& target, int slot) {
  if (slot == kCommonSlot) return target.commonParams != 0;
  return target.bankParams != 0 && BankInRange(target, slot);
}

// Fails the step with the text that refuses the parameter file in
// run.filePath; false when the file is fine or missing (asked at its turn).
bool FailRefusedFile(TransferRun& run, ParamFileStatus status, const ParamFile& file) {
  Failure refused = RefuseParamFile(status, file, run.filePath);
  if (refused.message == 0) return false;
  FailStep(run, std::move(refused));
  return true;
}

// Message 126, the slot and message 127: "The file of bank parameters3 is
// not found. Do you abort remaining file(s)?"; the common set is 15.
std::string MissingFileQuestion(int slot) {
  return LoadMessage(kMsgBankParamsFile) + std::to_string(slot) + " " +
         LoadMessage(kMsgIsNotFoundAbort);
}

// The file is created before the request is sent, so a file that cannot be
// created costs no exchange; it replaces an older file only once the whole
// set has arrived and has been written.
void ReadOneSet(TransferRun& run, int slot) {
  run.view.SetStepLine(
      LoadMessage(slot == kCommonSlot ? kMsgReadingCommonParams : kMsgReadingBankParams));
  if (!BuildItemPath(run, slot, false)) return;
  if (!AskOverwrite(run)) return;

  StagedFile file;
  if (!file.Create(run.filePath)) {
    FailFileCreation(run);
    return;
  }
  run.link.xfer[0] = static_cast<std::uint8_t>(slot);
  if (!ExchangeCommand(run, kCmdReadParamSet, kAwaitingReply)) return;
  if (!file.Write(FormatParamFile(DecodeParamSet(run.link.xfer.data()))) || !file.Commit()) {
    FailFileCreation(run);
    return;
  }
  run.flags.anyDone = true;
}

// The whole file is read before anything of the set is sent.
void WriteOneSet(TransferRun& run, int slot) {
  run.view.SetStepLine(
      LoadMessage(slot == kCommonSlot ? kMsgWritingCommonParams : kMsgWritingBankParams));
  if (run.skipped.paramSlots.test(static_cast<std::size_t>(slot))) return;
  if (!BuildItemPath(run, slot, false)) return;

  ParamFile file;
  const ParamFileStatus status = LoadParamFile(run.filePath, file);
  if (status == ParamFileStatus::Missing) {  // gone since the run checked it
    AskAbortMissing(run, kMsgIsNotFoundAbort, MissingFileQuestion(slot));
    return;
  }
  if (FailRefusedFile(run, status, file)) return;  // changed since the run checked it
  run.link.xfer[0] = static_cast<std::uint8_t>(slot);
  EncodeParamSet(file.values, run.link.xfer.data() + 1);
  if (!ExchangeCommand(run, kCmdWriteParamSet, kAwaitingReply)) return;
  run.flags.anyDone = true;
  run.written.paramSlots.set(static_cast<std::size_t>(slot));
}

void RunSlotLoop(TransferRun& run, void (*transferSet)(TransferRun&, int)) {
  for (int slot = 0; slot <= kCommonSlot; ++slot) {
    if (run.cancelState == kCancelNone && SlotSelected(run.target, slot)) transferSet(run, slot);
    if (run.failure || run.cancelState != kCancelNone) break;
    SetProgress(run, kProgressEnd);
  }
}

}  // namespace

void ReadParameters(TransferRun& run) { RunSlotLoop(run, ReadOneSet); }

void WriteParameters(TransferRun& run) { RunSlotLoop(run, WriteOneSet); }

void CheckParameterFiles(TransferRun& run) {
  if (run.cancelState != kCancelNone) return;
  for (int slot = 0; slot <= kCommonSlot; ++slot) {
    if (!SlotSelected(run.target, slot)) continue;
    if (!BuildItemPath(run, slot, false)) return;
    ParamFile file;
    const ParamFileStatus status = LoadParamFile(run.filePath, file);
    if (status == ParamFileStatus::Missing) {
      if (AskAbortMissing(run, kMsgIsNotFoundAbort, MissingFileQuestion(slot))) {
        return;
      }
      run.skipped.paramSlots.set(static_cast<std::size_t>(slot));
    }
    if (FailRefusedFile(run, status, file)) return;
  }
}

Failure RefuseParamFile(ParamFileStatus status, const ParamFile& file, const std::string& path) {
  const std::string line = std::to_string(file.badLine);
  switch (status) {
    case ParamFileStatus::TooShort:
      return MessageFailure(kMsgParamFileTooShort, path);
    case ParamFileStatus::NotANumber:
      return {
          kMsgParamNotANumber, FillMessage(kMsgParamNotANumber, {path, line, file.badText}), {}};
    case ParamFileStatus::TooManyValues:
      return {kMsgParamTooManyValues,
              FillMessage(kMsgParamTooManyValues, {path, line, file.badText}),
              {}};
    case ParamFileStatus::Utf16:
      return {kMsgParamFileUtf16, FillMessage(kMsgParamFileUtf16, {path}), {}};
    case ParamFileStatus::Ok:
    case ParamFileStatus::Missing:
      break;
  }
  return {};
}
