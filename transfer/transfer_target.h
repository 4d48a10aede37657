// The operator's choice for one transfer run: direction, data kinds, bank
// range and the base name of every file of the run.
//
// The main dialog fills it before the progress dialog starts; the run only
// reads it.
#pragma once

#include <string>

inline constexpr int kDirectionRead = 0;
inline constexpr int kDirectionWrite = 1;  // any non-zero direction writes

struct TransferTarget {
  int direction = kDirectionRead;
  int commonParams = 0;  // non-zero: the common parameter set
  int brightComp = 0;    // non-zero: the brightness-compensation table
  int bankParams = 0;    // non-zero: the parameter sets of the bank range
  int patterns = 0;      // non-zero: the pattern images of the bank range
  int startBank = 0;     // first bank of the range
  int endBank = 0;       // last bank of the range, inclusive
  std::string baseName;  // may include a folder
};

inline bool IsReadRun(const TransferTarget& target) { return target.direction == kDirectionRead; }

// An empty range (start above end) holds no bank at all.
inline bool BankInRange(const TransferTarget& target, int bank) {
  return target.startBank <= bank && bank <= target.endBank;
}
