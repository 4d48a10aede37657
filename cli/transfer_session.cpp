#include "cli/transfer_session.h"

#include <cstdio>
#include <optional>
#include <string>

#include "cli/adapter_choice.h"
#include "cli/exit_status.h"
#include "cli/port_listing.h"
#include "cli/terminal_operator.h"
#include "console/connection_control.h"
#include "formats/file_naming.h"
#include "formats/source_file.h"
#include "link/failure.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "transfer/read_targets.h"
#include "transfer/sensor_compare.h"
#include "transfer/transfer_run.h"

namespace {

// The port list index the options name: a COM number, or a number of its
// own for --device and --adapter-serial; -1 with `error` when the adapter
// is not found or no number is free for the device.
int PortListIndex(const CliOptions& options, std::string& error) {
  std::string device = options.device;
  if (!options.adapterSerial.empty() &&
      !FindAdapterBySerial(ListSerialPorts(), options.adapterSerial, device, error)) {
    return -1;
  }
  if (device.empty()) return options.port - 1;
  const int port = ComBindDevice(device);
  if (port == 0) error = "no port number is free for " + device;
  return port - 1;
}

void Report(TerminalOperator& op, const std::optional<Failure>& failure) {
  if (failure) op.ShowError(failure->text, failure->detail);
}

int StatusOf(RunEnd end) {
  switch (end) {
    case RunEnd::Finished:
      return kExitDone;
    case RunEnd::Cancelled:
    case RunEnd::OverwriteRefused:
      return kExitCancelled;
    case RunEnd::Failed:
      break;
  }
  return kExitFailed;
}

// Lists each difference (its text, and where on a second line) and says
// how the comparison ended.
int ReportComparison(const CompareReport& report, TransferRun& run, TerminalRunView& view,
                     TerminalOperator& op, bool quiet) {
  for (const ItemDifference& difference : report.differences) {
    op.ShowError(difference.text, difference.detail);
  }
  switch (report.end) {
    case CompareEnd::Equal:
      if (!quiet) view.PrintLine(LoadMessage(kMsgSameAsFiles));
      return kExitDone;
    case CompareEnd::Different:
      return kExitFailed;
    case CompareEnd::Cancelled:
      run.cancelState = kCancelNone;
      if (!quiet) view.PrintLine(LoadMessage(kMsgAborted));
      return kExitCancelled;
    case CompareEnd::Failed:
      break;
  }
  Report(op, run.failure);
  return kExitFailed;
}

// Compares `items` of the sensor with the files, as a phase of its own.
int Compare(TransferRun& run, const TransferItems& items, CompareLabel label,
            TerminalRunView& view, TerminalOperator& op, bool quiet) {
  view.Begin(WireBytes(items), run.cancelState);
  const CompareReport report = CompareWithSensor(run, items, label);
  view.End();
  return ReportComparison(report, run, view, op, quiet);
}

int Transfer(const CliOptions& options, SensorLink& link, TerminalRunView& view,
             TerminalOperator& op) {
  const int direction = options.command == CliCommand::Read ? kDirectionRead : kDirectionWrite;
  TransferRun run{TargetOf(options, direction), link, view, op};
  op.NameFilesFrom(run.filePath);
  const TransferItems selected = SelectedItems(run.target);
  if (options.command == CliCommand::Compare) {
    return Compare(run, selected, CompareLabel::Reading, view, op, options.quiet);
  }

  view.Begin(WireBytes(selected), run.cancelState);
  const RunEnd end = RunTransfer(run);
  view.End();
  if (end != RunEnd::Finished || !options.verify || run.written.empty()) return StatusOf(end);

  // Read back what the run wrote, now committed, against the same files.
  return Compare(run, run.written, CompareLabel::Verifying, view, op, options.quiet);
}

// What can be known before the sensor is touched: a base name that names
// no file, for a READ the first file it could not write (a script would
// otherwise stop a running sensor in command mode for nothing), and, for a
// WRITE that is to abort on a missing file, every file it needs, each
// missing one named. (The run itself asks about a missing
// file before it sends anything, as the dialog does; with --skip-missing
// those questions are answered No.) kExitDone when the run may start.
int CheckBeforeConnecting(const CliOptions& options, TerminalOperator& op) {
  if (options.command == CliCommand::Resume) return kExitDone;
  if (const int refusal = BaseNameRefusal(options.base); refusal != 0) {
    op.ShowError(LoadMessage(refusal), std::string());
    return kExitUsage;
  }
  if (options.command == CliCommand::Read) {
    if (const auto refused = FirstUnwritableReadTarget(TargetOf(options, kDirectionRead))) {
      op.ShowError(LoadMessage(kMsgFailedToCreateFile), RefusalDetail(*refused));
      return kExitFailed;
    }
    return kExitDone;
  }
  if (options.command != CliCommand::Write || options.skipMissing) return kExitDone;
  int status = kExitDone;
  const TransferTarget target = TargetOf(options, kDirectionWrite);
  for (const std::string& path : ItemFilePaths(SelectedItems(target), options.base)) {
    if (std::FILE* file = OpenRegularFile(path)) {
      std::fclose(file);
      continue;
    }
    op.ShowError(LoadMessage(kMsgFileNotFound) + path, std::string());
    status = kExitFailed;
  }
  if (status != kExitDone) op.ShowError(LoadMessage(kMsgTransferAborted), std::string());
  return status;
}

}  // namespace

int RunSession(const CliOptions& options, TerminalRunView& view) {
  TerminalOperator op(view,
                      {options.commandMode, options.assumePcMode, options.overwrite,
                       options.skipMissing},
                      options.quiet);
  if (const int status = CheckBeforeConnecting(options, op); status != kExitDone) return status;
  std::string portError;
  const int portListIndex = PortListIndex(options, portError);
  if (portListIndex < 0) {
    op.ShowError(LoadMessage(kMsgComOpenFailed), portError);
    return kExitFailed;
  }
  ConnectionOutcome connected =
      ConnectSensor(portListIndex, options.commandMode, options.speedIndex, op);
  if (!connected.done()) {
    // A declined 109 has been printed as the question; its cause is still
    // the failure a script reads.
    Report(op, connected.failure);
    return kExitFailed;
  }
  SensorLink& link = connected.link;

  int status = kExitDone;
  if (options.command != CliCommand::Resume) status = Transfer(options, link, view, op);

  if (options.command == CliCommand::Resume || options.resume) {
    if (const std::optional<Failure> resumed = ResumeSensor(link)) {
      Report(op, resumed);
      if (status == kExitDone) status = kExitFailed;
    }
  }
  return status;
}
