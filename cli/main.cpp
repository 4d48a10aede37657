// zema-transfer: the loader's sequences without a window, for scripts.
#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "cli/backup_command.h"
#include "cli/backup_restore.h"
#include "cli/cli_options.h"
#include "cli/diff_command.h"
#include "cli/exit_status.h"
#include "cli/ports_command.h"
#include "cli/program_arguments.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "cli/terminal_run_view.h"
#include "cli/transfer_session.h"
#include "link/frame_trace.h"
#include "link/port_trace.h"
#include "link/serial_port.h"
#include "link/standard_streams.h"
#include "res/messages.h"

using namespace zema;

namespace {

TerminalRunView::Style ProgressStyle(const CliOptions& options, bool canRedraw) {
  if (options.quiet) return TerminalRunView::Style::Quiet;
  // Trace lines and lines redrawn in place do not mix.
  if (canRedraw && !options.trace && IsTerminal(stderr)) return TerminalRunView::Style::Live;
  return TerminalRunView::Style::Lines;
}

}  // namespace

int main(int argc, char** argv) {
  KeepStandardStreamsOpen();
  const ParsedCommandLine parsed = ParseCommandLine(ProgramArguments(argc, argv));
  if (parsed.outcome == ParsedCommandLine::Outcome::Exit) return parsed.exitStatus;
  CliOptions options = parsed.options;

  if (options.command == CliCommand::Ports) return RunPortsCommand(options);
  if (options.command == CliCommand::Diff) return RunDiffCommand(options);
  if (options.command == CliCommand::Backup) {
    InstallStopSignals(options.quiet ? std::string() : LoadMessage(kMsgAborted));
    const int status = RunBackupCommand(options);
    ComCloseAll();
    return status;
  }
  if (!options.backup.empty()) {
    if (const int status = PrepareBackupWrite(options); status != kExitDone) return status;
  }

  InstallStopSignals(options.quiet ? std::string() : LoadMessage(kMsgAborted));
  const bool canRedraw = PrepareTerminal();
  TerminalRunView view(stderr, ProgressStyle(options, canRedraw));
  if (options.trace) {
    const auto started = std::chrono::steady_clock::now();
    const auto printTimed = [&view, started](const std::string& line) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      view.PrintLine(TimedTraceLine(seconds, line));
    };
    SetFrameTraceHook([printTimed](const char* direction, std::span<const std::uint8_t> bytes,
                                   const std::string& meaning) {
      printTimed(TraceLine(direction, bytes, meaning));
    });
    SetPortTraceHook([printTimed](const std::string& text) { printTimed("port  " + text); });
  }
  const int status = RunSession(options, view);
  // A port still open (a run without --resume) is let go now, while the
  // view that its trace lines go to exists: putting a driver's low-latency
  // flag back is traced.
  ComCloseAll();
  SetPortTraceHook(nullptr);
  SetFrameTraceHook(nullptr);
  return status;
}
