// The pattern step. Until the pattern transfer is built here the step moves
// nothing: it performs its opening and closing actions only.
#include "res/messages.h"
#include "transfer/transfer_steps.h"

namespace {

bool ClosePatternStep(TransferRun& run) {
  if (g_cancelState != kCancelNone) return false;
  if (run.flags.failed) {
    FailRun(run);
    return true;
  }
  SetProgress(run, kProgressEnd);
  return false;
}

}  // namespace

bool ReadPatterns(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgReadingPatterns));
  return ClosePatternStep(run);
}

bool WritePatterns(TransferRun& run) {
  run.view.SetStepLine(LoadMessage(kMsgWritingPatterns));
  return ClosePatternStep(run);
}
