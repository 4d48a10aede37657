#include "transfer/transfer_run.h"

#include "res/messages.h"
#include "transfer/file_naming.h"
#include "transfer/read_targets.h"
#include "transfer/run_helpers.h"
#include "transfer/transfer_steps.h"

namespace {

RunEnd Finish(TransferRun& run) {
  run.view.OfferOk();
  switch (run.cancelState) {
    case kCancelOverwriteRefused:
      run.cancelState = kCancelNone;
      run.view.EndDialog(kRunResultOk);
      return RunEnd::OverwriteRefused;
    case kCancelNone:
      break;
    default:
      run.cancelState = kCancelNone;
      run.view.SetStepLine(LoadMessage(kMsgAborted));
      return RunEnd::Cancelled;
  }
  const bool reading = IsReadRun(run.target);
  int text;
  if (run.flags.anyDone) {
    text = reading ? kMsgReadingCompleted : kMsgWritingCompleted;
  } else {
    text = reading ? kMsgNoTargetForReading : kMsgNoTargetForWriting;
  }
  run.view.SetStepLine(LoadMessage(text));
  return RunEnd::Finished;
}

// The three steps in their fixed order, after the checks that come before
// anything is sent; stops at the first that failed.
StepOutcome RunSteps(TransferRun& run) {
  // Every path of the run must fit the path buffer and name a file of its
  // own; refuse the name before anything is sent rather than cut a path
  // short half-way or write hidden files. A run that moves nothing builds no
  // path.
  if (run.cancelState == kCancelNone && !SelectedItems(run.target).empty()) {
    const int refusal = BaseNameRefusal(run.target.baseName);
    if (refusal != 0) {
      FailStep(run, refusal);
      return StepOutcome::Failed;
    }
  }
  const bool reading = IsReadRun(run.target);
  if (reading && CheckReadTargets(run) == StepOutcome::Failed) return StepOutcome::Failed;
  using Step = StepOutcome (*)(TransferRun&);
  if (!reading) {
    for (Step check : {CheckParameterFiles, CheckCompensationFile, CheckPatternFiles}) {
      if (check(run) == StepOutcome::Failed) return StepOutcome::Failed;
    }
  }
  const Step steps[] = {
      reading ? ReadParameters : WriteParameters,
      reading ? ReadCompensation : WriteCompensation,
      reading ? ReadPatterns : WritePatterns,
  };
  for (Step step : steps) {
    if (step(run) == StepOutcome::Failed) return StepOutcome::Failed;
  }
  return StepOutcome::Done;
}

}  // namespace

RunEnd RunTransfer(TransferRun& run) {
  run.flags = RunFlags{};
  run.failure.reset();
  run.written = TransferItems{};
  run.skipped = TransferItems{};
  run.view.SetProgressRange(0, kProgressEnd);
  SetProgress(run, 0);
  if (RunSteps(run) == StepOutcome::Failed) {
    FailRun(run);
    return RunEnd::Failed;
  }
  return Finish(run);
}
