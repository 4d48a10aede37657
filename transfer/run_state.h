// Program-wide state of the transfer run, and the flags local to one run.
#pragma once

#include <cstddef>

#include "transfer/file_naming.h"

// g_cancelState values.
inline constexpr int kCancelNone = 0;
inline constexpr int kCancelPressed = 1;           // CANCEL (or the close box)
inline constexpr int kCancelOverwriteRefused = 2;  // No to the overwrite question

// 0 outside a run. The CANCEL handler sets it to 1 while the run pumps
// events; the steps test it before each item and after each image block.
extern int g_cancelState;

// The path of the file being handled, terminating zero included: room for
// the longest base name and suffix (260 bytes; on Windows, where the base
// name's limit counts UTF-16 units, 760 bytes of UTF-8).
inline constexpr std::size_t kFilePathSize = kMaxBaseNameBytes + kLongestSuffixLength + 1;
extern char g_filePath[kFilePathSize];

struct RunFlags {
  bool failed = false;              // a failure in the current step
  bool anyDone = false;             // something was transferred
  bool overwriteConfirmed = false;  // READ: the overwrite question was answered Yes
};
