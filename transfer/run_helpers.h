// The helpers the steps of a run share: one exchange, the progress bar and
// the detail line, the cancel poll, the file questions, the flash commit and
// the ways a step fails. All act on the run they are given.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "link/commands.h"
#include "transfer/transfer_run.h"

class SourceFile;
class StagedFile;

// One exchange of the command table, from the link's xfer to its xfer. With
// an awaitPosition the bar moves there once the command has left, while its
// reply is awaited. False with the link's failure as the run's when the
// reply did not come right.
inline constexpr int kKeepPosition = -1;
bool ExchangeCommand(TransferRun& run, const SensorCommand& command,
                     int awaitPosition = kKeepPosition);

// One block of the link's xfer: a block's reply from offset 0, a block's
// payload behind its block number from offset 1.
std::span<std::uint8_t, kBlockBytes> BlockOfXfer(TransferRun& run, int offset);

// Sets the bar's position, then shows the window.
void SetProgress(TransferRun& run, int position);

// Detail line "Bank No. = <bank>".
void ShowBankNo(TransferRun& run, int bank);

// The cancel poll of the image steps, after each block: lets one waiting
// event run (the CANCEL handler may set the run's cancelState), then true when the
// run is to stop. The overloads also close the step's open file on stop (a
// READ file is discarded, so no partial file is left behind), so the caller
// returns at once without another exchange.
bool PollCancel(TransferRun& run);
bool PollCancel(TransferRun& run, StagedFile& file);
bool PollCancel(TransferRun& run, SourceFile& file);

// Builds the path of an item into run.filePath; false with the step failed
// when base name and suffix do not fit.
bool BuildItemPath(TransferRun& run, int slot, bool isImage);

// READ, before a file is created: true to go ahead. Asks message 119 the
// first time a file named run.filePath exists in the run; No sets
// run.cancelState to 2 and returns false.
bool AskOverwrite(TransferRun& run);

// WRITE, when a source file cannot be opened: true when the operator chose
// to abort (the run's failure is "Transfering is aborted."), false
// to skip the item.
// `question` is the number of the message that asks (127 or 130).
bool AskAbortMissing(TransferRun& run, int question, const std::string& text);

// WRITE image steps: stores the transfer area into flash as the selected
// image (up to 30 s). False with the run's failure set otherwise.
bool FlashCommit(TransferRun& run, std::uint8_t selector);

// The error exit: shows the run's failure in an error box and ends the
// window with result 0. The run calls it once, for the step that failed.
void FailRun(TransferRun& run);

// WRITE image steps: fails the step with the text that names the refused
// image file in run.filePath.
void FailImageFile(TransferRun& run);

// WRITE image steps: opens the image file in run.filePath. A missing file asks
// `question` with `text` (abort or skip, as AskAbortMissing); a file that is
// no longer a valid image (changed since the run checked it) fails the step.
// true when `file` is open and ready for its first block.
bool OpenImageSource(TransferRun& run, SourceFile& file, int question, const std::string& text);

// READ: fails the step with "Failed to create the file.", the file's path
// and the system's error as the detail.
void FailFileCreation(TransferRun& run);

// Fails the current step with message `message` (followed by `appended`);
// the run shows it when the step has ended.
void FailStep(TransferRun& run, int message, const std::string& appended = std::string());
void FailStep(TransferRun& run, Failure failure);
