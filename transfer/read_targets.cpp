#include "transfer/read_targets.h"

#include "formats/write_target.h"
#include "link/failure.h"
#include "res/messages.h"
#include "transfer/transfer_items.h"

std::optional<WriteTarget> FirstUnwritableReadTarget(const TransferTarget& target) {
  for (const std::string& path : ItemFilePaths(SelectedItems(target), target.baseName)) {
    WriteTarget inspected = InspectWriteTarget(path);
    if (inspected.refusal != 0) return inspected;
  }
  return std::nullopt;
}

void CheckReadTargets(TransferRun& run) {
  if (run.cancelState != kCancelNone) return;
  const std::optional<WriteTarget> refused = FirstUnwritableReadTarget(run.target);
  if (!refused) return;
  FailStep(run, MessageFailure(kMsgFailedToCreateFile, std::string(), RefusalDetail(*refused)));
}
