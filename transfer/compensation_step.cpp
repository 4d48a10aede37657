// The compensation step: the brightness-compensation table (image selector
// 2, blocks 160 to 255 of the transfer area) and its bitmap file.
#include <array>

#include "formats/compensation_image.h"
#include "formats/image_file.h"
#include "formats/source_file.h"
#include "formats/staged_file.h"
#include "link/packet.h"
#include "res/messages.h"
#include "transfer/transfer_steps.h"

int CompensationBlockPosition(int block) {
  return (block - kCompensationFirstBlock) * kProgressEnd / kCompensationBlocks;
}

namespace {

// The file is created before anything is sent, so a file that cannot be
// created costs no exchange; it replaces an older file only once the whole
// table has arrived and has been written.
void ReadTable(TransferRun& run) {
  if (!BuildItemPath(run, kCommonSlot, true) || !AskOverwrite(run)) return;
  StagedFile file;
  if (!file.Create(run.filePath) || !file.Write(ImageFileHeader)) {
    FailFileCreation(run);
    return;
  }
  run.link.xfer[0] = kCompensationSelector;
  if (!ExchangeCommand(run, kCmdSelectImage)) return;
  std::array<std::uint8_t, kMaxCompensationFileBytesPerBlock> bytes;
  for (int block = kCompensationFirstBlock; block <= kCompensationLastBlock; ++block) {
    run.link.xfer[0] = static_cast<std::uint8_t>(block);
    if (!ExchangeCommand(run, kCmdReadBlock)) return;
    const std::size_t count = CompensationToFile(block, BlockOfXfer(run, 0), bytes);
    if (!file.Write(std::span(bytes).first(count))) {
      FailFileCreation(run);  // a full disk
      return;
    }
    SetProgress(run, CompensationBlockPosition(block));
    if (PollCancel(run, file)) return;
  }
  if (!file.Commit()) {
    FailFileCreation(run);
    return;
  }
  run.flags.anyDone = true;
}

// The blocks only reach the sensor's transfer area; the flash commit after
// the last one makes them the stored table.
void WriteTable(TransferRun& run) {
  if (run.skipped.compensation || !BuildItemPath(run, kCommonSlot, true)) return;
  SourceFile file;
  if (!OpenImageSource(run, file, kMsgCompensationFileNotFound,
                       LoadMessage(kMsgCompensationFileNotFound))) {
    return;
  }
  std::array<std::uint8_t, kMaxCompensationFileBytesPerBlock> bytes;
  for (int block = kCompensationFirstBlock; block <= kCompensationLastBlock; ++block) {
    const auto fileBytes = std::span(bytes).first(CompensationFileBytes(block));
    CompensationFromFile(block, fileBytes, file.Read(fileBytes), BlockOfXfer(run, 1));
    run.link.xfer[0] = static_cast<std::uint8_t>(block);
    if (!ExchangeCommand(run, kCmdWriteBlock)) return;
    SetProgress(run, CompensationBlockPosition(block));
    if (PollCancel(run, file)) return;
  }
  if (!FlashCommit(run, kCompensationSelector)) return;
  run.written.compensation = true;
  run.flags.anyDone = true;
  run.view.SetDetailLine(" ");
}

void CloseCompensationStep(TransferRun& run) {
  if (run.cancelState == kCancelNone && !run.failure) SetProgress(run, kProgressEnd);
}

bool TableSelected(const TransferRun& run) {
  return run.target.brightComp != 0 && run.cancelState == kCancelNone;
}

}  // namespace

void ReadCompensation(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgReadingCompensation));
  SetProgress(run, 0);
  if (TableSelected(run)) ReadTable(run);
  CloseCompensationStep(run);
}

void WriteCompensation(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgWritingCompensation));
  SetProgress(run, 0);
  if (TableSelected(run)) WriteTable(run);
  CloseCompensationStep(run);
}

void CheckCompensationFile(TransferRun& run) {
  if (!TableSelected(run)) return;
  if (!BuildItemPath(run, kCommonSlot, true)) return;
  switch (CheckImageFile(run.filePath)) {
    case ImageFileStatus::Ok:
      return;
    case ImageFileStatus::Missing:
      if (AskAbortMissing(run, kMsgCompensationFileNotFound,
                          LoadMessage(kMsgCompensationFileNotFound))) {
        return;
      }
      run.skipped.compensation = true;
      return;
    case ImageFileStatus::Refused:
      break;
  }
  FailImageFile(run);
}
