#include "transfer/item_files.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "formats/file_naming.h"
#include "formats/image_file.h"
#include "formats/source_file.h"
#include "formats/utf8_path.h"
#include "res/messages.h"

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
