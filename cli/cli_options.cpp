#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <iostream>
#include <utility>

#include "cli/exit_status.h"
#include "cli/ports_options.h"
#include "link/commands.h"
#include "link/serial_port.h"

namespace zema {

namespace {

// The project's version, handed in by the build so that it never drifts from the package.
constexpr char kVersion[] = "zema-transfer " ZEMA_VERSION;

constexpr char kDescription[] =
    "The ZEMA data loader's READ, WRITE and RUN without a window, for scripts:\n"
    "backups, restores and checks of a sensor's parameter sets, brightness-\n"
    "compensation table and pattern images over a serial port.";

// Each system's own words: its stop events and its paths.
#ifdef _WIN32
constexpr char kFooter[] = R"(
Exit status: 0 the run finished (or the sensor equals the files), 1 the run,
the connection or a comparison failed, 2 bad usage, 3 stopped by Ctrl-C,
Ctrl-Break or closing the console window, or by a refused overwrite.
diff: 0 the backups are the same, 1 they differ, 2 trouble.
backup: 0 every sensor was backed up, 1 one or more were not, 2 a bad
inventory.
A stop ends the run after the block in flight; a second Ctrl-C ends the
program at once, also while it waits up to 30 s for the sensor's flash.
Closing the console window stops the run the same way, within the 5 s
Windows grants for it. Logging off or shutting Windows down ends the
program at once, without that stop.

Examples:
  zema-transfer read --all --base C:\zema\line1 --overwrite --resume
  zema-transfer write --all --base C:\zema\line1 --verify --resume
  zema-transfer compare --params --banks 2-4 --base C:\zema\line1
  zema-transfer write --backup C:\zema\backups\press-1\latest --resume
  zema-transfer diff C:\zema\backups\press-1\2026-11-08T020000Z C:\zema\backups\press-1\latest
  zema-transfer read --common --base line1 --port 3 --command-mode --speed 19200
  zema-transfer read --all --base line1 --adapter-serial A10K3XYZ
  zema-transfer ports

A nightly backup at 02:00 from the Task Scheduler (one line):
  schtasks /create /tn "ZEMA backup" /sc daily /st 02:00 /tr
    "\"C:\Program Files\ZEMA Data Loader\zema-transfer.exe\" read --all
    --base C:\zema\line1 --overwrite --resume --quiet")";
#else
constexpr char kFooter[] = R"(
Exit status: 0 the run finished (or the sensor equals the files), 1 the run,
the connection or a comparison failed, 2 bad usage, 3 stopped by Ctrl-C,
SIGTERM, SIGHUP or a closed output (SIGPIPE), or by a refused overwrite.
diff: 0 the backups are the same, 1 they differ, 2 trouble.
backup: 0 every sensor was backed up, 1 one or more were not, 2 a bad
inventory.
A stop ends the run after the block in flight; a second Ctrl-C ends the
program at once, also while it waits up to 30 s for the sensor's flash.

Examples:
  zema-transfer read --all --base /srv/zema/line1 --overwrite --resume
  zema-transfer write --all --base /srv/zema/line1 --verify --resume
  zema-transfer compare --params --banks 2-4 --base /srv/zema/line1
  zema-transfer write --backup /srv/zema/backups/press-1/latest --resume
  zema-transfer diff /srv/zema/backups/press-1/2026-11-08T020000Z /srv/zema/backups/press-1/latest
  zema-transfer read --common --base line1 --port 3 --command-mode --speed 19200
  zema-transfer read --all --base line1 --adapter-serial A10K3XYZ
  zema-transfer ports)";
#endif

#ifdef _WIN32
constexpr char kDeviceHelp[] = R"(open this device path instead of a COM number, e.g. \\.\COM12)";
#else
constexpr char kDeviceHelp[] =
    "open this device path instead of a COM number, e.g. a stable /dev/serial/by-id/... name";
#endif

bool ParseNumber(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && at == end && !text.empty();
}

CLI::Option* AddSelection(CLI::App& command, CliOptions& o, bool& all, std::string& banks) {
  command.add_flag("--params", o.params, "the parameter sets of the banks in --banks");
  command.add_flag("--common", o.common, "the common parameter set");
  command.add_flag("--compensation", o.compensation, "the brightness-compensation table");
  command.add_flag("--patterns", o.patterns, "the pattern images of the banks in --banks");
  command.add_flag("--all", all, "all four kinds");
  command
      .add_option("--banks", banks, "bank range A-B or one bank N, 0 to 14 (default 0-14)")
      ->type_name("A-B")
      ->check([](const std::string& text) {
        int first = 0;
        int last = 0;
        return ParseBankRange(text, first, last)
                   ? std::string()
                   : "--banks is A-B or N with banks 0 to 14, A not above B";
      });
  return command.add_option("--base", o.base, "base name of the files, may include a folder")
      ->required()
      ->type_name("NAME");
}

void AddConnection(CLI::App& command, CliOptions& o, std::string& speed) {
  CLI::Option* port =
      command.add_option("--port", o.port, "COM number, 1 to 256 (default 1), resolved as the "
                                           "loader resolves it")
          ->check(CLI::Range(kFirstPort, kLastPort))
          ->type_name("N");
  CLI::Option* device =
      command.add_option("--device", o.device, kDeviceHelp)->type_name("PATH")->excludes(port);
  AddAdapterSerialOption(command, o, {port, device});
  CLI::Option* commandMode = command.add_flag(
      "--command-mode", o.commandMode,
      "the sensor is running: stop it and switch it into PC communication (this answers Yes "
      "to \"Agree to stop operation of ZEMA?\"); without it the sensor is in its \"PC "
      "LOAD/SAVE\" menu at 57600 baud");
  CLI::Option* speedOption =
      command
          .add_option("--speed", speed,
                      "command mode's line speed: 4800, 9600, 19200, 38400, 57600, or the "
                      "COMMUNIC value 1 to 5")
          ->type_name("S")
          ->check([](const std::string& text) {
            return SpeedIndexOf(text) >= 0
                       ? std::string()
                       : "--speed is 4800, 9600, 19200, 38400, 57600 or 1 to 5";
          });
  commandMode->needs(speedOption);
  speedOption->needs(commandMode);
  command.add_flag("--assume-pc-mode", o.assumePcMode,
                   "when the running sensor does not answer the switch into PC communication, "
                   "answer Yes to the question whether its screen shows \"PC LOAD/SAVE\" and go "
                   "on in that menu's mode");
}

void AddResume(CLI::App& command, CliOptions& o) {
  command.add_flag("--resume", o.resume,
                   "send the sensor back to normal operation after the run, as RUN does");
}

constexpr char kMoreHelp[] = "Run with --help for more information.";

ParsedCommandLine UsageMistake(ParsedCommandLine parsed, const std::string& text) {
  std::cerr << text << "\n" << kMoreHelp << "\n";
  parsed.outcome = ParsedCommandLine::Outcome::Exit;
  parsed.exitStatus = kExitUsage;
  return parsed;
}

// The first word that is not an option names the command. CLI11 would take
// a mistyped one for a stray argument and complain about something else
// (a missing command, a missing --base); empty when the word is a command
// or there is none.
std::string UnknownCommand(const CLI::App& app, const std::vector<std::string>& arguments) {
  for (const std::string& word : arguments) {
    if (word.starts_with("-")) continue;
    std::string known;
    for (const CLI::App* command : app.get_subcommands({})) {
      if (command->get_name() == word) return {};
      known += (known.empty() ? "" : ", ") + command->get_name();
    }
    return "unknown subcommand '" + word + "' (the subcommands are " + known + ")";
  }
  return {};
}

}  // namespace

int SpeedIndexOf(const std::string& text) {
  static constexpr int kBauds[] = {4800, 9600, 19200, 38400, 57600};
  int number = 0;
  if (!ParseNumber(text, number)) return -1;
  if (number >= 1 && number <= 5) return number - 1;
  for (int i = 0; i < 5; ++i) {
    if (kBauds[i] == number) return i;
  }
  return -1;
}

bool ParseBankRange(const std::string& text, int& first, int& last) {
  const auto dash = text.find('-');
  if (dash == std::string::npos) {
    if (!ParseNumber(text, first)) return false;
    last = first;
  } else if (!ParseNumber(text.substr(0, dash), first) ||
             !ParseNumber(text.substr(dash + 1), last)) {
    return false;
  }
  return first >= 0 && last < kBankCount && first <= last;
}

TransferTarget TargetOf(const CliOptions& o, int direction) {
  TransferTarget target;
  target.direction = direction;
  target.bankParams = o.params ? 1 : 0;
  target.commonParams = o.common ? 1 : 0;
  target.brightComp = o.compensation ? 1 : 0;
  target.patterns = o.patterns ? 1 : 0;
  target.startBank = o.startBank;
  target.endBank = o.endBank;
  target.baseName = o.base;
  return target;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  CliOptions& o = parsed.options;
  CLI::App app(kDescription, "zema-transfer");
  app.footer(kFooter);
  app.set_version_flag("--version", kVersion);
  app.require_subcommand(1);
  // --quiet and --trace may come before or after the command's name.
  app.fallthrough();
  app.add_flag("--quiet,-q", o.quiet, "print only errors");
  app.add_flag("--trace", o.trace,
               "print every frame sent and received, with its time, on standard error");

  bool all = false;
  std::string banks = "0-14";
  std::string speed;

  CLI::App* read = app.add_subcommand("read", "copy the sensor's setup into files (READ)");
  CLI::App* write = app.add_subcommand(
      "write", "copy files into the sensor and commit the images to its flash (WRITE); naming "
               "the command is the agreement to overwrite the sensor's settings");
  CLI::App* compare = app.add_subcommand(
      "compare", "compare the sensor with the files, changing neither: is it still set up as "
                 "this backup?");
  CLI::App* resume = app.add_subcommand(
      "resume", "send the sensor back to normal operation and close the port, as RUN does");
  CLI::App* ports = app.add_subcommand(
      "ports", "list the serial ports with what identifies them, and link one as a COM number");
  CLI::App* diff = app.add_subcommand(
      "diff", "what changed between two backup folders: the parameter values and the pixels of "
              "each image, with a picture of the changed pixels beside NEW");

  CLI::App* backup = app.add_subcommand(
      "backup",
      "back up every sensor of an inventory side by side, each into a dated folder "
      "of its own, and say what changed since its previous backup");

  CLI::Option* writeBase = nullptr;
  for (CLI::App* command : {read, write, compare}) {
    CLI::Option* base = AddSelection(*command, o, all, banks);
    if (command == write) writeBase = base;
    AddConnection(*command, o, speed);
    AddResume(*command, o);
  }
  // A backup names its own files and what they hold.
  writeBase->required(false);
  write
      ->add_option("--backup", o.backup,
                   "write the files of this backup folder, or of <sensor folder>/latest (the "
                   "newest good one), after checking each against the backup's manifest; "
                   "without a kind, everything the backup holds")
      ->type_name("FOLDER")
      ->excludes(writeBase);
  diff->add_option("OLD", o.diffOld, "the older backup folder (or <sensor folder>/latest)")
      ->required();
  diff->add_option("NEW", o.diffNew, "the newer backup folder (or <sensor folder>/latest)")
      ->required();
  diff->add_flag("--json", o.json, "print the whole comparison as JSON");
  diff->add_flag("--no-images", o.noImages, "write no change pictures into NEW");
  // The questions each command can meet: an existing file only where files
  // are written, a missing one only where they are sent.
  read->add_flag("--overwrite", o.overwrite,
                 "answer Yes to \"Found same filename. Do you overwrite?\" (default No: the "
                 "run stops)");
  write->add_flag("--skip-missing", o.skipMissing,
                  "answer No to \"... is not found. Do you abort remaining file(s)?\": skip "
                  "the missing file and go on (default: every file is looked for before "
                  "connecting, and a missing one ends the run before anything is sent)");
  write->add_flag("--verify", o.verify,
                  "read back every item written and compare it with what was sent");
  backup->add_option("--inventory", o.inventory, "the line's inventory (TOML)")
      ->required()
      ->type_name("FILE");
  backup
      ->add_option("--into", o.into,
                   "the backups' folder: each sensor's backups go into DIR/<name>/<date-time>/")
      ->required()
      ->type_name("DIR");
  backup->add_option("--jobs", o.jobs, "back up at most N sensors at once (default: all)")
      ->check(CLI::PositiveNumber)
      ->type_name("N");
  backup
      ->add_option("--keep", o.keep,
                   "keep the newest N backups of each sensor (and always the newest good one)")
      ->check(CLI::PositiveNumber)
      ->type_name("N");
  backup->add_flag("--json", o.json, "print the whole report as JSON");
  AddConnection(*resume, o, speed);
  AddPortsOptions(*ports, o);

  if (const std::string unknown = UnknownCommand(app, arguments); !unknown.empty()) {
    return UsageMistake(std::move(parsed), unknown);
  }
  // CLI11 wants the arguments in reverse order, the program name left out.
  std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    parsed.outcome = ParsedCommandLine::Outcome::Exit;
    const int code = app.exit(error);
    parsed.exitStatus = code == 0 ? kExitDone : kExitUsage;
    return parsed;
  }

  if (read->parsed()) o.command = CliCommand::Read;
  if (write->parsed()) o.command = CliCommand::Write;
  if (compare->parsed()) o.command = CliCommand::Compare;
  if (resume->parsed()) o.command = CliCommand::Resume;
  if (ports->parsed()) o.command = CliCommand::Ports;
  if (diff->parsed()) o.command = CliCommand::Diff;
  if (backup->parsed()) o.command = CliCommand::Backup;
  if (o.command == CliCommand::Write && o.base.empty() && o.backup.empty()) {
    return UsageMistake(std::move(parsed), "write needs --base NAME or --backup FOLDER");
  }
  if (all) o.params = o.common = o.compensation = o.patterns = true;
  // A run without a data kind would move nothing, and a nightly backup
  // would seem to succeed.
  const bool selecting = o.command == CliCommand::Read || o.command == CliCommand::Write ||
                         o.command == CliCommand::Compare;
  if (selecting && o.backup.empty() && !o.params && !o.common && !o.compensation &&
      !o.patterns) {
    return UsageMistake(std::move(parsed),
                        "choose what to transfer: --params, --common, --compensation, "
                        "--patterns, or --all");
  }
  ParseBankRange(banks, o.startBank, o.endBank);
  o.speedIndex = SpeedIndexOf(speed);
  return parsed;
}

}  // namespace zema
