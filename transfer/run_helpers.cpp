#include "transfer/run_helpers.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "link/commands.h"
#include "res/messages.h"
#include "transfer/file_naming.h"
#include "transfer/image_file.h"
#include "transfer/source_file.h"
#include "transfer/staged_file.h"
#include "transfer/utf8_path.h"

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

bool BuildItemPath(TransferRun& run, int slot, bool isImage) {
  char path[kFilePathSize];
  const bool fits = BuildFilePath(run.target.baseName, path, sizeof path, slot, isImage);
  run.filePath = path;
  if (fits) return true;
  FailStep(run, kMsgBaseNameTooLong);
  return false;
}

bool AskOverwrite(TransferRun& run) {
  // Any existing entry counts, also one this user may not read: the
  // question must come before anything of that name is replaced.
  std::error_code error;
  if (!std::filesystem::exists(PathFromUtf8(run.filePath), error)) return true;
  if (run.flags.overwriteConfirmed) return true;
  if (!run.dialogs.AskYesNo(kMsgFoundSameFilename, LoadMessage(kMsgFoundSameFilename),
                            kCaptionWarning, BoxIcon::Warning)) {
    run.cancelState = kCancelOverwriteRefused;
    return false;
  }
  run.flags.overwriteConfirmed = true;
  return true;
}

bool AskAbortMissing(TransferRun& run, int question, const std::string& text) {
  if (!run.dialogs.AskYesNo(question, text, kCaptionWarning, BoxIcon::Warning)) return false;
  FailStep(run, kMsgTransferAborted);
  return true;
}

bool FlashCommit(TransferRun& run, std::uint8_t selector) {
  run.view.SetDetailLine(LoadMessage(kMsgWritingFlash));
  run.link.xfer[0] = selector;
  return ExchangeCommand(run, kCmdFlashCommit);
}

void FailRun(TransferRun& run) {
  const Failure failure = run.failure.value_or(Failure{});
  run.dialogs.ShowError(failure.text, failure.detail);
  run.view.EndDialog(kRunResultFailed);
}

void FailImageFile(TransferRun& run) { FailStep(run, kMsgImageFileRejected, run.filePath); }

bool OpenImageSource(TransferRun& run, SourceFile& file, int question, const std::string& text) {
  if (!file.Open(run.filePath)) {
    AskAbortMissing(run, question, text);
    return false;
  }
  if (CheckImageFile(file.stream()) != ImageFileStatus::Ok) {
    FailImageFile(run);
    return false;
  }
  return true;
}

void FailFileCreation(TransferRun& run) {
  // Taken at once: the cleanup that follows a failed write may change errno.
  const int cause = errno;
  FailStep(run, MessageFailure(kMsgFailedToCreateFile, std::string(),
                               SystemCauseDetail(run.filePath, cause)));
}

void FailStep(TransferRun& run, int message, const std::string& appended) {
  FailStep(run, MessageFailure(message, appended));
}

void FailStep(TransferRun& run, Failure failure) { run.failure = std::move(failure); }
