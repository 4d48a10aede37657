// The transfer log: a line for each READ and WRITE run of the dialog and
// of zema-transfer, so that the question "when was this sensor last
// written, and from which files?" has an answer on the PC that did it.
//
// It is a text file in the user's data folder,
// %LOCALAPPDATA%\zema-loader\transfer.log on Windows and
// $XDG_STATE_HOME/zema-loader/transfer.log (~/.local/state/zema-loader/)
// elsewhere. Each line is UTF-8 with nine fields separated by tabs, for a
// person as for grep and awk:
//
//   time  program  direction  port  base name  kinds  banks  outcome  message
//
//   2026-03-04T09:15:02+01:00  zema-loader  WRITE  COM3  C:\zema\line1
//   common,compensation,params  0-14  completed  Writing to ZEMA is completed.
//
// The time is local, ISO 8601 with the offset from UTC; the base name is
// made absolute; the kinds are any of common, compensation, params,
// patterns ("-" for none); the outcome is one of completed, nothing
// (nothing was selected to transfer), cancelled, refused (an overwrite was
// refused), failed; the message is the text the operator was shown, in
// their language, with its detail line in parentheses.
//
// A line is appended with one write to a file opened for appending, so
// two programs that log at the same moment never mix their lines. Past
// kTransferLogLimit bytes the log is renamed to transfer.log.1 (replacing
// an older one) and begun anew, so at most about twice that is kept.
// Logging never fails a run: a line that cannot be written is left out.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "transfer/transfer_run.h"

namespace zema {

inline constexpr std::uintmax_t kTransferLogLimit = 1024 * 1024;

// Where this user's log is; empty when the system names no such folder.
std::string TransferLogPath();

// The line for a run of `program` that ended with `end`, at time `when`;
// without its line end.
std::string TransferLogLine(std::time_t when, const std::string& program, const TransferRun& run,
                            RunEnd end);

// Appends `line` and a line end to the log at `path`, creating its folder,
// after renaming a log of `limit` bytes or more to `path`.1. False when
// nothing could be written.
bool AppendToTransferLog(const std::string& path, const std::string& line,
                         std::uintmax_t limit = kTransferLogLimit);

// Logs a run that has just ended, in the user's log; never fails.
void LogTransferRun(const std::string& program, const TransferRun& run, RunEnd end);

}  // namespace zema
