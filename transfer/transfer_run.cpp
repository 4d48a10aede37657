#include "transfer/transfer_run.h"

#include <span>
#include <utility>

#include "formats/file_naming.h"
#include "res/messages.h"
#include "transfer/read_targets.h"
#include "transfer/run_exchange.h"
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
// anything is sent; stops at the first that failed. False when a failure
// ends the run.
bool RunSteps(TransferRun& run) {
  // Every path of the run must fit the path buffer and name a file of its
  // own; refuse the name before anything is sent rather than cut a path
  // short half-way or write hidden files. A run that moves nothing builds no
  // path.
  if (run.cancelState == kCancelNone && !SelectedItems(run.target).empty()) {
    const int refusal = BaseNameRefusal(run.target.baseName);
    if (refusal != 0) {
      FailStep(run, refusal);
      return false;
    }
  }
  const bool reading = IsReadRun(run.target);
  using Step = void (*)(TransferRun&);
  const Step readChecks[] = {CheckReadTargets};
  const Step writeChecks[] = {CheckParameterFiles, CheckCompensationFile, CheckPatternFiles};
  for (Step check :
       reading ? std::span<const Step>(readChecks) : std::span<const Step>(writeChecks)) {
    check(run);
    if (FailureEndsRun(run)) return false;
  }
  const Step steps[] = {
      reading ? ReadParameters : WriteParameters,
      reading ? ReadCompensation : WriteCompensation,
      reading ? ReadPatterns : WritePatterns,
  };
  for (Step step : steps) {
    step(run);
    if (FailureEndsRun(run)) return false;
  }
  return true;
}

}  // namespace

RunEnd RunTransfer(TransferRun& run) {
  run.flags = RunFlags{};
  run.failure.reset();
  run.written = TransferItems{};
  run.skipped = TransferItems{};
  run.view.SetProgressRange(0, kProgressEnd);
  SetProgress(run, 0);
  if (!RunSteps(run)) {
    FailRun(run);
    return RunEnd::Failed;
  }
  return Finish(run);
}

void FailStep(TransferRun& run, int message, const std::string& appended) {
  FailStep(run, MessageFailure(message, appended));
}

void FailStep(TransferRun& run, Failure failure) { run.failure = std::move(failure); }

void FailRun(TransferRun& run) {
  const Failure failure = run.failure.value_or(Failure{});
  run.dialogs.ShowError(failure.text, failure.detail);
  run.view.EndDialog(kRunResultFailed);
}
