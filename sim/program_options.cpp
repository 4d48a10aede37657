#include "sim/program_options.h"

#include <CLI/CLI.hpp>

#include <charconv>

namespace zema::sim {
namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
  const char* end = text.data() + text.size();
  int number = 0;
  const auto [at, error] = std::from_chars(text.data(), end, number);
  if (text.empty() || error != std::errc() || at != end || number < low || number > high) {
    return false;
  }
  value = number;
  return true;
}

// A validator whose message is the program's own.
CLI::Validator Check(std::function<bool(const std::string&)> accepts, const std::string& error) {
  return CLI::Validator(
      [accepts = std::move(accepts), error](std::string& text) {
        return accepts(text) ? std::string() : error;
      },
      "");
}

}  // namespace

ParseOutcome ParseProgramOptions(const std::vector<std::string>& arguments,
                                 ProgramOptions& options, std::string& error) {
  CLI::App app("A virtual ZEMA sensor on a pseudo-terminal", "zema-sim");
  // The help text is the program's own (HelpText).
  app.set_help_flag("--help,-h");
  std::string mode;
  std::string communic;
  std::string flashDelay;
  std::string adapterLatency;
  std::vector<std::string> faults;
  bool pace = true;
  bool trace = false;

  app.add_option("--mode", mode)->check(Check(
      [](const std::string& v) { return v == "menu" || v == "command"; },
      "--mode is menu or command"));
  app.add_option("--communic", communic)->check(Check(
      [](const std::string& v) { int n = 0; return ParseInt(v, 1, 5, n); },
      "--communic is 1 to 5"));
  app.add_option("--link", options.linkPath)->check(Check(
      [](const std::string& v) { return !v.empty(); }, "--link needs a path"));
  app.add_option("--state", options.sensor.stateFile)->check(Check(
      [](const std::string& v) { return !v.empty(); }, "--state needs a path"));
  app.add_option("--flash-delay", flashDelay)->check(Check(
      [](const std::string& v) { int n = 0; return ParseInt(v, 0, 600000, n); },
      "--flash-delay is 0 to 600000 milliseconds"));
  app.add_option("--adapter-latency", adapterLatency)->check(Check(
      [](const std::string& v) { int n = 0; return ParseInt(v, 1, 255, n); },
      "--adapter-latency is 1 to 255 milliseconds"));
  app.add_option("--fault", faults);
  // --pace and --no-pace: the last one given counts.
  app.add_flag("--pace,!--no-pace", pace)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
      ->disable_flag_override();
  app.add_flag("--trace", trace)->disable_flag_override();

  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return ParseOutcome::kHelp;
  } catch (const CLI::ParseError& failure) {
    error = failure.what();
    return ParseOutcome::kError;
  }

  if (!mode.empty()) {
    options.sensor.mode = mode == "command" ? ConnectionMode::kCommand : ConnectionMode::kMenu;
  }
  if (!communic.empty()) {
    if (options.sensor.mode == ConnectionMode::kMenu) {
      error = "--communic applies to --mode command only";
      return ParseOutcome::kError;
    }
    ParseInt(communic, 1, 5, options.sensor.communic);
  }
  if (!flashDelay.empty()) ParseInt(flashDelay, 0, 600000, options.sensor.flashDelayMs);
  int latencyMs = 0;
  if (!adapterLatency.empty() && ParseInt(adapterLatency, 1, 255, latencyMs)) {
    options.sensor.adapterLatency = std::chrono::milliseconds(latencyMs);
  }
  for (const std::string& fault : faults) {
    if (!ParseFault(fault, options.faults, error)) return ParseOutcome::kError;
  }
  options.sensor.pacing = pace;
  options.trace = trace;
  return ParseOutcome::kRun;
}

std::string HelpText() {
  return R"(Usage: zema-sim [OPTION]...
A virtual ZEMA sensor on a pseudo-terminal, for trying zema-loader without
hardware. It prints the terminal's device path and answers the loader until
it is stopped with Ctrl+C (SIGINT) or SIGTERM.

Using it with the loader:
  zema-sim --link ~/.config/zema-loader/dosdevices/com1
then start zema-loader, pick COM1 and press CONNECT. The loader looks a COM
port n up as dosdevices/com<n> beside its executable, then in
~/.config/zema-loader/dosdevices/. The link is removed when zema-sim ends.

Options:
  --mode menu|command  menu (default): the sensor shows its "PC LOAD/SAVE"
                       menu and answers at 57600 baud; use the loader with
                       the com-mode box clear. It stays in the menu after
                       the loader's RUN, so it can be connected again.
                       command: the sensor is running; the loader switches
                       it into PC communication with the handshake at the
                       COMMUNIC speed (com-mode box ticked, matching speed
                       chosen). After RUN it runs again.
  --communic N         COMMUNIC setting of a running sensor, 1 to 5:
                       4800, 9600, 19200, 38400, 57600 baud (default 5).
                       Bytes sent at another speed are not understood.
  --link PATH          make PATH a symbolic link to the terminal.
  --state FILE         keep the sensor's memory in FILE between runs
                       (loaded at start; every stored parameter set or
                       flash image reaches FILE.journal before its reply
                       and FILE soon after, in the background; FILE is
                       always replaced whole, never left half-written, and
                       survives a kill). Without it every
                       start shows the demo content: parameter set s holds
                       1000*s+i, a vignette-like compensation table, and
                       every bank a coloured picture with its number.
  --pace               send replies at the line's real rate, 10 bits a
                       byte (default).
  --no-pace            reply as fast as possible.
  --flash-delay MS     time a flash store (0x86) takes, default 2000.
  --adapter-latency MS answer through a modelled USB serial adapter whose
                       latency timer is MS (1 to 255): a reply reaches the
                       loader in 62-byte packets, and a packet that is not
                       full waits for the timer (16 is the usual default,
                       1 what the low-latency flag sets).
  --fault FAULT        misbehave on purpose; may be given several times.
                       FAULT is key=value items joined by ':':
                         kind=K   no-reply, cut-short, wrong-first-byte,
                                  bad-checksum, delay, hang-up, store-wrong
                         nth=N    only the Nth command (counted from 1;
                                  with code=, the Nth of that code)
                         code=C   only commands of code C (0x81 to 0x88)
                         ms=M     how long kind=delay waits (default 1500)
                       Without nth= and code= the fault hits every command.
                       store-wrong keeps one word of what 0x82 or 0x86
                       stores different from what was sent. The reply
                       faults act on the reply; the command itself is
                       carried out (hang-up cuts the line before it).
                       handshake=nak or handshake=silence: answer the
                       "CPl" handshake with NAK, or not at all.
                       Examples: --fault nth=5:kind=no-reply
                                 --fault code=0x84:kind=bad-checksum
  --trace              print every exchange on standard error.
  --help               show this text.

Frames sent while the sensor is running (before the handshake) are not
answered. A frame with an unknown code, a wrong checksum or an unknown image
selector or set index is answered with NAK (0x15).
)";
}

}  // namespace zema::sim
