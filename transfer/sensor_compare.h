// Is the sensor still set up as these files say? Reads items back from the
// sensor (0x81 for a parameter set; 0x85 and 0x83 for the compensation
// table and each pattern section) and compares them with the words a WRITE
// of the files would send, in the fields a READ keeps: the parameter
// values; the low bytes of the compensation samples (samples 0 to 15 of
// block 160 are not carried); the 236 pixel words of each pattern row.
//
// Nothing is written, to the sensor or to a file. Used by "compare" and by
// "write --verify" of the command line; it shows its progress through the
// run view as a READ does (step line, bank number, bar) and stops after
// the current block when run.cancelState is set.
#pragma once

#include <string>
#include <vector>

#include "transfer/transfer_items.h"
#include "transfer/transfer_run.h"

// The first difference of one item, or why it could not be compared, as a
// failure: message 142 differs, 146 file missing, 139, 141, 147, 148
// refused; the text names the file; the detail of 143 or 144 says where
// the first difference lies.
using ItemDifference = Failure;

enum class CompareEnd {
  Equal,      // every item equal
  Different,  // at least one difference listed
  Cancelled,  // stopped by run.cancelState
  Failed,     // a link failure: run.failure
};

struct CompareReport {
  CompareEnd end = CompareEnd::Equal;
  std::vector<ItemDifference> differences;  // one per item, in the run's order
};

// What the step line says while items are read back.
enum class CompareLabel {
  Reading,    // the READ texts of each kind: a comparison of its own
  Verifying,  // one text: reading back what a WRITE has just sent
};

// Compares `items` with the files named by run.target.baseName, on the open
// link run.link. The run's flags, failure and cancelState are used as a run uses
// them; run.cancelState is left as it was found.
CompareReport CompareWithSensor(TransferRun& run, const TransferItems& items,
                                CompareLabel label = CompareLabel::Reading);
