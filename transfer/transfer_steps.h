// The step procedures of a run, one per step and direction. A failure of a
// step is left in run.failure; it ends the run unless the operator stopped
// the run meanwhile (FailureEndsRun). Each step tests run.cancelState itself and moves nothing
// while it is non-zero.
#pragma once

#include <string>

#include "formats/parameter_file.h"
#include "transfer/item_files.h"
#include "transfer/run_exchange.h"

void ReadParameters(TransferRun& run);
void WriteParameters(TransferRun& run);
void ReadCompensation(TransferRun& run);
void WriteCompensation(TransferRun& run);
void ReadPatterns(TransferRun& run);
void WritePatterns(TransferRun& run);

// WRITE, before the run sends anything, each selected file of the step in
// the order the step sends them, so that a sensor is never left
// half-programmed: a file that exists but would be refused fails the run,
// with a text that names it; a missing file is asked about as at its turn
// (AskAbortMissing), Yes failing the run, No marking the item skipped. A
// file that goes missing or changes after this check is still dealt with
// at its turn.
void CheckParameterFiles(TransferRun& run);
void CheckCompensationFile(TransferRun& run);
void CheckPatternFiles(TransferRun& run);

// Why a parameter file read with `status` is refused: the message and its
// text, which names `path` (and the line at fault); message 0 for a file
// that is fine or missing.
Failure RefuseParamFile(ParamFileStatus status, const ParamFile& file, const std::string& path);

// Where the bar stands once a block has been moved: the 96 blocks of the
// compensation table, or the 416 blocks of a bank's pattern, span the whole
// bar. Reading back for a comparison moves it alike.
int CompensationBlockPosition(int block);
int PatternBlockPosition(int section, int block);

// A failure in a step that the operator has stopped is not shown.
inline bool FailureEndsRun(const TransferRun& run) {
  return run.cancelState == kCancelNone && run.failure;
}
