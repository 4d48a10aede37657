// zema-transfer: the loader's sequences without a window, for scripts.
#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/exit_status.h"
#include "cli/port_listing.h"
#include "cli/program_arguments.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "cli/terminal_run_view.h"
#include "cli/transfer_session.h"
#include "link/frame_trace.h"

namespace {

TerminalRunView::Style ProgressStyle(const CliOptions& options, bool canRedraw) {
  if (options.quiet) return TerminalRunView::Style::Quiet;
  // Trace lines and lines redrawn in place do not mix.
  if (canRedraw && !options.trace && IsTerminal(stderr)) return TerminalRunView::Style::Live;
  return TerminalRunView::Style::Lines;
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedCommandLine parsed = ParseCommandLine(ProgramArguments(argc, argv));
  if (parsed.outcome == ParsedCommandLine::Outcome::Exit) return parsed.exitStatus;
  const CliOptions& options = parsed.options;

  if (options.command == CliCommand::Ports) {
    for (const std::string& line : ListPorts()) std::printf("%s\n", line.c_str());
    return kExitDone;
  }

  InstallStopSignals();
  const bool canRedraw = PrepareTerminal();
  TerminalRunView view(stderr, ProgressStyle(options, canRedraw));
  if (options.trace) {
    const auto started = std::chrono::steady_clock::now();
    SetFrameTraceHook([&view, started](const char* direction, std::span<const std::uint8_t> bytes,
                                       const std::string& meaning) {
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
      view.PrintLine(TimedTraceLine(seconds, TraceLine(direction, bytes, meaning)));
    });
  }
  return RunSession(options, view);
}
