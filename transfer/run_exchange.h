// What a step does on the link and in the view: one exchange, the flash
// commit, the progress bar and the detail line, and the cancel poll. All act
// on the run they are given.
#pragma once

#include <cstdint>
#include <span>

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

// WRITE image steps: stores the transfer area into flash as the selected
// image (up to 30 s). False with the run's failure set otherwise.
bool FlashCommit(TransferRun& run, std::uint8_t selector);
