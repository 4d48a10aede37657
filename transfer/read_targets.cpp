#include "transfer/read_targets.h"

#include "link/last_error.h"
#include "res/messages.h"
#include "transfer/transfer_items.h"
#include "transfer/write_target.h"

std::optional<WriteTarget> FirstUnwritableReadTarget(const TransferTarget& target) {
  for (const std::string& path : ItemFilePaths(SelectedItems(target), target.baseName)) {
    WriteTarget inspected = InspectWriteTarget(path);
    if (inspected.refusal != 0) return inspected;
  }
  return std::nullopt;
}

StepOutcome CheckReadTargets(TransferRun& run) {
  if (g_cancelState != kCancelNone) return StepOutcome::Done;
  const std::optional<WriteTarget> refused = FirstUnwritableReadTarget(run.target);
  if (!refused) return StepOutcome::Done;
  SetLastError(kMsgFailedToCreateFile, std::string(), RefusalDetail(*refused));
  run.flags.failed = true;
  return StepOutcome::Failed;
}
