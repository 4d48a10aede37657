#include "transfer/run_helpers.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "link/commands.h"
#include "link/packet.h"
#include "res/messages.h"
#include "transfer/file_naming.h"
#include "transfer/image_file.h"
#include "transfer/source_file.h"
#include "transfer/staged_file.h"
#include "transfer/utf8_path.h"

bool ExchangeCommand(TransferRun& run, const SensorCommand& command, int awaitPosition) {
  SendCommand(run.port, command);
  if (awaitPosition != kKeepPosition) SetProgress(run, awaitPosition);
  if (ReceiveReply(run.port, g_xfer, command.replyLength, command.timeoutMs) != 0) return true;
  run.flags.failed = true;
  return false;
}

std::span<std::uint8_t, kBlockBytes> BlockOfXfer(int offset) {
  return std::span<std::uint8_t, kBlockBytes>(g_xfer + offset, kBlockBytes);
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
  return g_cancelState != kCancelNone;
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
  if (BuildFilePath(run.target.baseName, g_filePath, kFilePathSize, slot, isImage)) return true;
  FailStep(run, kMsgBaseNameTooLong);
  return false;
}

bool AskOverwrite(TransferRun& run) {
  // Any existing entry counts, also one this user may not read: the
  // question must come before anything of that name is replaced.
  std::error_code error;
  if (!std::filesystem::exists(PathFromUtf8(g_filePath), error)) return true;
  if (run.flags.overwriteConfirmed) return true;
  if (!run.dialogs.AskYesNo(kMsgFoundSameFilename, LoadMessage(kMsgFoundSameFilename),
                            kCaptionWarning, BoxIcon::Warning)) {
    g_cancelState = kCancelOverwriteRefused;
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

int FlashCommit(TransferRun& run, std::uint8_t selector) {
  run.view.SetDetailLine(LoadMessage(kMsgWritingFlash));
  g_xfer[0] = selector;
  return ExchangeCommand(run, kCmdFlashCommit) ? 1 : 0;
}

void FailRun(TransferRun& run) {
  run.dialogs.ShowError(g_lastError, g_lastErrorDetail);
  run.view.EndDialog(kRunResultFailed);
}

void FailImageFile(TransferRun& run) { FailStep(run, kMsgImageFileRejected, g_filePath); }

bool OpenImageSource(TransferRun& run, SourceFile& file, int question, const std::string& text) {
  if (!file.Open(g_filePath)) {
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
  SetLastError(kMsgFailedToCreateFile, std::string(), SystemCauseDetail(g_filePath, cause));
  run.flags.failed = true;
}

void FailStep(TransferRun& run, int message, const std::string& appended) {
  SetLastError(message, appended);
  run.flags.failed = true;
}
