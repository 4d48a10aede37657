// One READ or WRITE run: the parameter, compensation and pattern steps in
// this fixed order, then the finish.
//
// The run is written against the run view and the operator dialogs, so the
// progress dialog, the tests and the command line all drive the same code.
// It expects the port to be open and the sensor in PC communication mode;
// it neither opens nor closes the port.
#pragma once

#include "frontend/operator_dialogs.h"
#include "frontend/run_view.h"
#include "transfer/run_state.h"
#include "transfer/transfer_items.h"
#include "transfer/transfer_target.h"

// The progress bar runs from 0 to kProgressEnd: the end of each parameter
// slot, of the compensation table and of the pattern step.
inline constexpr int kProgressEnd = 512;

struct TransferRun {
  const TransferTarget& target;
  int port;
  RunView& view;
  OperatorDialogs& dialogs;
  RunFlags flags{};
  // WRITE: the items that reached the sensor whole (a parameter set
  // acknowledged, an image committed to flash), for reading them back.
  TransferItems written{};
  // WRITE: the items whose missing file the operator chose to skip when the
  // run checked its files; their turn asks nothing again.
  TransferItems skipped{};
};

// How a run ended.
enum class RunEnd {
  Finished,          // completion text shown, OK offered
  Cancelled,         // "Aborted." shown, OK offered
  OverwriteRefused,  // the window was ended with the OK result, no text
  Failed,            // error box shown, the window was ended with result 0
};

RunEnd RunTransfer(TransferRun& run);
