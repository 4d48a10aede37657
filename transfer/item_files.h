// The files of a run's items: the path of each, the questions about an
// existing or a missing file, the image file a WRITE sends, and the
// failures that name a file. All act on the run they are given.
#pragma once

#include <string>

#include "transfer/transfer_run.h"

class SourceFile;

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
