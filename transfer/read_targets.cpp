#include "transfer/read_targets.h"

#include "link/last_error.h"
#include "res/messages.h"
#include "transfer/transfer_items.h"
#include "transfer/write_target.h"

StepOutcome CheckReadTargets(TransferRun& run) {
  if (g_cancelState != kCancelNone) return StepOutcome::Done;
  for (const std::string& path : ItemFilePaths(SelectedItems(run.target), run.target.baseName)) {
    const WriteTarget target = InspectWriteTarget(path);
    if (target.refusal == 0) continue;
    SetLastError(kMsgFailedToCreateFile, std::string(), RefusalDetail(target));
    run.flags.failed = true;
    return StepOutcome::Failed;
  }
  return StepOutcome::Done;
}
