// The compensation step. Until the table transfer is built here the step
// moves nothing: it performs its opening and closing actions only.
#include "res/messages.h"
#include "transfer/transfer_steps.h"

namespace {

// Completion counts also when the table was not selected.
StepOutcome CloseCompensationStep(TransferRun& run) {
  if (g_cancelState == kCancelNone && !run.flags.failed) {
    SetProgress(run, kProgressEnd);
    run.flags.anyDone = true;
  }
  return OutcomeOf(run);
}

}  // namespace

StepOutcome ReadCompensation(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgReadingCompensation));
  SetProgress(run, 0);
  return CloseCompensationStep(run);
}

StepOutcome WriteCompensation(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgWritingCompensation));
  SetProgress(run, 0);
  return CloseCompensationStep(run);
}
