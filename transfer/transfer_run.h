// One READ or WRITE run: the parameter, compensation and pattern steps in
// this fixed order, then the finish.
//
// The run is written against the run view and the operator dialogs, so the
// progress dialog, the tests and the command line all drive the same code.
// It expects the link to be open and the sensor in PC communication mode;
// it neither opens nor closes the link. Everything a run changes lives in
// the run and its link, so runs on two links may go side by side.
#pragma once

#include <optional>
#include <string>

#include "formats/file_naming.h"
#include "frontend/operator_dialogs.h"
#include "frontend/run_view.h"
#include "link/failure.h"
#include "link/sensor_link.h"
#include "transfer/transfer_items.h"
#include "transfer/transfer_target.h"

// The progress bar runs from 0 to kProgressEnd: the end of each parameter
// slot, of the compensation table and of the pattern step.
inline constexpr int kProgressEnd = 512;

// TransferRun::cancelState values.
inline constexpr int kCancelNone = 0;
inline constexpr int kCancelPressed = 1;           // CANCEL (or the close box)
inline constexpr int kCancelOverwriteRefused = 2;  // No to the overwrite question

struct RunFlags {
  bool anyDone = false;             // something was transferred
  bool overwriteConfirmed = false;  // READ: the overwrite question was answered Yes
};

struct TransferRun {
  TransferTarget target;
  SensorLink& link;
  RunView& view;
  OperatorDialogs& dialogs;
  // The file being handled.
  std::string filePath{};
  // kCancelNone while the run goes on. The CANCEL handler sets it while the
  // run lets events through; the steps test it before each item and after
  // each image block.
  int cancelState = kCancelNone;
  // A failure in the current step; the run shows it when the step has ended.
  std::optional<Failure> failure{};
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
  Failed,            // error box shown (run.failure), the window was ended with result 0
};

RunEnd RunTransfer(TransferRun& run);

// Fails the current step with message `message` (followed by `appended`);
// the run shows it when the step has ended.
void FailStep(TransferRun& run, int message, const std::string& appended = std::string());
void FailStep(TransferRun& run, Failure failure);

// The error exit: shows the run's failure in an error box and ends the
// window with result 0. The run calls it once, for the step that failed.
void FailRun(TransferRun& run);
