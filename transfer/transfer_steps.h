// The step procedures of a run, one per step and direction. Each returns
// true when it has ended the run through FailRun; all other outcomes travel
// in the run flags, g_cancelState, g_lastError and the files. Each step
// tests g_cancelState itself and moves nothing while it is non-zero.
#pragma once

#include "transfer/transfer_run.h"

bool ReadParameters(TransferRun& run);
bool WriteParameters(TransferRun& run);
bool ReadCompensation(TransferRun& run);
bool WriteCompensation(TransferRun& run);
bool ReadPatterns(TransferRun& run);
bool WritePatterns(TransferRun& run);
