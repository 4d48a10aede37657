// The pattern step. Until the pattern transfer is built here the step moves
// nothing: it performs its opening and closing actions only.
#include "res/messages.h"
#include "transfer/transfer_steps.h"

namespace {

StepOutcome ClosePatternStep(TransferRun& run) {
  if (g_cancelState == kCancelNone && !run.flags.failed) SetProgress(run, kProgressEnd);
  return OutcomeOf(run);
}

}  // namespace

StepOutcome ReadPatterns(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgReadingPatterns));
  return ClosePatternStep(run);
}

StepOutcome WritePatterns(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgWritingPatterns));
  return ClosePatternStep(run);
}
