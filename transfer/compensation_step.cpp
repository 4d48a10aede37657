// The compensation step. Until the table transfer is built here the step
// moves nothing: it performs its opening and closing actions only.
#include "res/messages.h"
#include "transfer/transfer_steps.h"

namespace {

bool CloseCompensationStep(TransferRun& run) {
  if (g_cancelState != kCancelNone) return false;
  if (run.flags.failed) {
    FailRun(run);
    return true;
  }
  SetProgress(run, kProgressEnd);
  run.flags.anyDone = true;
  return false;
}

}  // namespace

bool ReadCompensation(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgReadingCompensation));
  SetProgress(run, 0);
  return CloseCompensationStep(run);
}

bool WriteCompensation(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgWritingCompensation));
  SetProgress(run, 0);
  return CloseCompensationStep(run);
}
