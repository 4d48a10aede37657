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

// One exchange of the command table, from g_xfer to g_xfer. With an
// awaitPosition the bar moves there once the command has left, while its
// reply is awaited. False with `failed` set when the reply did not come
// right; the link has then set g_lastError.
inline constexpr int kKeepPosition = -1;
bool ExchangeCommand(TransferRun& run, const SensorCommand& command,
                     int awaitPosition = kKeepPosition);

// One block of the transfer buffer g_xfer: a block's reply from offset 0,
// a block's payload behind its block number from offset 1.
std::span<std::uint8_t, kBlockBytes> BlockOfXfer(int offset);

// Sets the bar's position, then shows the window.
void SetProgress(TransferRun& run, int position);

// Detail line "Bank No. = <bank>".
void ShowBankNo(TransferRun& run, int bank);

// The cancel poll of the image steps, after each block: lets one waiting
// event run (the CANCEL handler may set g_cancelState), then true when the
// run is to stop. The overloads also close the step's open file on stop (a
// READ file is discarded, so no partial file is left behind), so the caller
// returns at once without another exchange.
bool PollCancel(TransferRun& run);
bool PollCancel(TransferRun& run, StagedFile& file);
bool PollCancel(TransferRun& run, SourceFile& file);

// Builds the path of an item into g_filePath; false with the step failed
// when base name and suffix do not fit.
bool BuildItemPath(TransferRun& run, int slot, bool isImage);

// READ, before a file is created: true to go ahead. Asks message 119 the
// first time a file named g_filePath exists in the run; No sets
// g_cancelState to 2 and returns false.
bool AskOverwrite(TransferRun& run);

// WRITE, when a source file cannot be opened: true when the operator chose
// to abort (failed set, g_lastError holds "Transfering is aborted."), false
// to skip the item.
// `question` is the number of the message that asks (127 or 130).
bool AskAbortMissing(TransferRun& run, int question, const std::string& text);

// WRITE image steps: stores the transfer area into flash as the selected
// image (up to 30 s). 1 on success; 0 with failed set otherwise.
int FlashCommit(TransferRun& run, std::uint8_t selector);

// The error exit: shows g_lastError in an error box and ends the window with
// result 0. The run calls it once, for the step that failed, and returns.
void FailRun(TransferRun& run);

// WRITE image steps: fails the step with the text that names the refused
// image file in g_filePath.
void FailImageFile(TransferRun& run);

// WRITE image steps: opens the image file in g_filePath. A missing file asks
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
