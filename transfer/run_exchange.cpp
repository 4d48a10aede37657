#include "transfer/run_exchange.h"

#include <string>
#include <utility>

#include "formats/source_file.h"
#include "formats/staged_file.h"
#include "res/messages.h"

bool ExchangeCommand(TransferRun& run, const SensorCommand& command, int awaitPosition) {
  run.link.Send(command);
  if (awaitPosition != kKeepPosition) SetProgress(run, awaitPosition);
  Result<Reply> reply = run.link.Receive(command);
  if (reply.ok()) return true;
  run.failure = std::move(reply.failure);
  return false;
}

std::span<std::uint8_t, kBlockBytes> BlockOfXfer(TransferRun& run, int offset) {
  return std::span<std::uint8_t, kBlockBytes>(run.link.xfer.data() + offset, kBlockBytes);
}

void SetProgress(TransferRun& run, int position) {
  run.view.SetProgressPosition(position);
  run.view.ShowWindow();
}

void ShowBankNo(TransferRun& run, int bank) {
  run.view.SetDetailLine(LoadMessage(kMsgBankNo) + " = " + std::to_string(bank));
}

bool PollCancel(TransferRun& run) {
  run.view.PumpPendingEvent();
  return run.cancelState != kCancelNone;
}

bool PollCancel(TransferRun& run, StagedFile& file) {
  if (!PollCancel(run)) return false;
  file.Discard();
  return true;
}

bool PollCancel(TransferRun& run, SourceFile& file) {
  if (!PollCancel(run)) return false;
  file.Close();
  return true;
}

bool FlashCommit(TransferRun& run, std::uint8_t selector) {
  run.view.SetDetailLine(LoadMessage(kMsgWritingFlash));
  run.link.xfer[0] = selector;
  return ExchangeCommand(run, kCmdFlashCommit);
}
