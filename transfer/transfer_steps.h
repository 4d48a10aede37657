// The step procedures of a run, one per step and direction. Each returns
// one outcome: Failed when a failure of the step is to end the run (its
// failure in run.failure), else Done, also when the operator stopped the run.
// Each step tests run.cancelState itself and moves nothing while it is
// non-zero.
#pragma once

#include <string>

#include "transfer/parameter_file.h"
#include "transfer/run_helpers.h"

enum class StepOutcome { Done, Failed };

StepOutcome ReadParameters(TransferRun& run);
StepOutcome WriteParameters(TransferRun& run);
StepOutcome ReadCompensation(TransferRun& run);
StepOutcome WriteCompensation(TransferRun& run);
StepOutcome ReadPatterns(TransferRun& run);
StepOutcome WritePatterns(TransferRun& run);

// WRITE, before the run sends anything, each selected file of the step in
// the order the step sends them, so that a sensor is never left
// half-programmed: a file that exists but would be refused fails the run,
// with a text that names it; a missing file is asked about as at its turn
// (AskAbortMissing), Yes failing the run, No marking the item skipped. A
// file that goes missing or changes after this check is still dealt with
// at its turn.
StepOutcome CheckParameterFiles(TransferRun& run);
StepOutcome CheckCompensationFile(TransferRun& run);
StepOutcome CheckPatternFiles(TransferRun& run);

// Why a parameter file read with `status` is refused: the message and its
// text, which names `path` (and the line at fault); message 0 for a file
// that is fine or missing.
struct RefusedParamFile {
  int message = 0;
  std::string text;
};
RefusedParamFile RefuseParamFile(ParamFileStatus status, const ParamFile& file,
                                 const std::string& path);

// Where the bar stands once a block has been moved: the 96 blocks of the
// compensation table, or the 416 blocks of a bank's pattern, span the whole
// bar. Reading back for a comparison moves it alike.
int CompensationBlockPosition(int block);
int PatternBlockPosition(int section, int block);

// The closing check every step shares: a failure in a step that the
// operator has stopped is not shown.
inline StepOutcome OutcomeOf(const TransferRun& run) {
  return run.cancelState == kCancelNone && run.failure ? StepOutcome::Failed : StepOutcome::Done;
}
