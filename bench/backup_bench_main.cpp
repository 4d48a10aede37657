// zema-bench-backup: a whole backup (READ) and restore (WRITE) of a sensor
// by zema-transfer against zema-sim, measured against the physical limit
// of the wire, with the program's CPU, its memory, how quickly it stops,
// and how many sensors it serves side by side.
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <optional>
#include <sstream>

#include "bench/backup_runs.h"
#include "bench/dialog_pace.h"
#include "bench/pty_round_trip.h"
#include "bench/result_table.h"
#include "bench/sim_pacing.h"
#include "link/commands.h"
#include "link/port_device_path.h"

using namespace zema;
using namespace zema::bench;
namespace fs = std::filesystem;
using std::chrono::nanoseconds;

namespace {

struct Options {
  bool full = false;
  std::string banks;       // paced READ and WRITE
  // Banks each sensor reads side by side, all kinds; empty: what the dialog
  // reads (the parameter sets of all banks, the common set and the
  // compensation table, about 5 s paced).
  std::string scaleBanks;
  std::vector<int> scale = {1, 4, 8};
  int flashDelayMs = 2000;
  int cancelTrials = 0;
  int pacingCount = 0;
  std::string csvPath;  // default: beside the build's bin folder
  std::string workFolder;
  bool noLoader = false;
  unsigned seed = 1;
  // Latency timers of the modelled USB adapters a paced READ goes through.
  std::vector<int> adapterLatencies = {16, 1};
  // Phases to run (kPhases); empty: all.
  std::vector<std::string> only;

  bool Runs(const std::string& phase) const {
    return only.empty() || std::find(only.begin(), only.end(), phase) != only.end();
  }
};

// The phases, in the order they run.
const std::vector<std::string> kPhases = {"unpaced", "paced", "adapter", "server", "cancel",
                                          "memory",  "scale", "line",    "pacing"};

double Seconds(nanoseconds t) { return static_cast<double>(t.count()) / 1e9; }
double Milliseconds(nanoseconds t) { return static_cast<double>(t.count()) / 1e6; }
double Microseconds(nanoseconds t) { return static_cast<double>(t.count()) / 1e3; }

std::string Format(const char* format, auto... values) {
  char text[512];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

std::string CpuModel() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
  }
  return "unknown CPU";
}

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  double one = 0, five = 0, fifteen = 0;
  in >> one >> five >> fifteen;
  return Format("%.2f %.2f %.2f", one, five, fifteen);
}

// The compensation step of a dialog's paced READ against the wire, from the
// sensor's trace: the event pumping between blocks must not slow the line.
ResultRow DialogPaceRow(const std::string& measurement, const std::string& trace, unsigned baud) {
  StepPace pace;
  if (!CompensationStepPace(trace, baud, pace)) {
    return {measurement, "not measured: no whole table in " + trace, 0, "× wire", "", std::nullopt};
  }
  ResultRow row;
  row.measurement = measurement;
  row.figure = Format("%.3f × wire: %.3f s against %.3f s on the wire for %d blocks", pace.Ratio(),
                      Seconds(pace.wall), Seconds(pace.bound), pace.blocks);
  row.value = pace.Ratio();
  row.unit = "× wire";
  row.goal = "≤ 1.01 × wire";
  row.met = pace.Ratio() <= 1.01;
  return row;
}

std::string Machine() {
  utsname name{};
  ::uname(&name);
  return Format("%d × %s, %s %s", get_nprocs(), CpuModel().c_str(), name.sysname, name.release);
}

std::string BankText(const std::string& banks) {
  return banks.find('-') == std::string::npos ? "bank " + banks : "banks " + banks;
}

std::string ScaleText(const std::string& banks) {
  return banks.empty() ? "what the dialog reads" : "all kinds, " + BankText(banks);
}

void Progress(const std::string& text) { std::cerr << "zema-bench-backup: " << text << std::endl; }

// `n` runs of `job` at once, their frames counted by a traced twin; false
// (and the error printed) when one failed.
bool RunCounted(const BenchSetup& setup, const TransferJob& job, int n, SideBySide& result) {
  CountedFrames counted;
  std::string error;
  if (!CountFrames(setup, job, counted, error) ||
      !RunSideBySide(setup, std::vector<TransferJob>(static_cast<std::size_t>(n), job), counted,
                     result, error)) {
    std::cerr << "zema-bench-backup: " << error << std::endl;
    return false;
  }
  return true;
}

bool RunOne(const BenchSetup& setup, const TransferJob& job, TransferFigures& figures) {
  SideBySide result;
  if (!RunCounted(setup, job, 1, result)) return false;
  figures = result.runs.front();
  return true;
}

void AddUnpaced(ResultTable& table, const std::string& what, const TransferFigures& run,
                bool withGoal) {
  ResultRow row;
  row.measurement = "unpaced " + what;
  row.figure =
      Format("%.3f s wall, %d exchanges, %.0f exchanges/s, CPU %.3f s", Seconds(run.Wall()),
             run.wire.exchanges, run.wire.exchanges / Seconds(run.Wall()), run.program.cpuSeconds);
  row.value = Seconds(run.Wall());
  row.unit = "s";
  if (withGoal) {
    row.goal = "≤ 1 s";
    row.met = row.value <= 1.0;
  }
  table.Add(row);
}

void AddPaced(ResultTable& table, const std::string& what, const TransferFigures& run) {
  std::string bound = Format("%d exchanges, %lld bytes", run.wire.exchanges, run.wire.wireBytes);
  if (run.wire.flashCommits > 0) {
    bound += Format(", %d flash stores of %d ms", run.wire.flashCommits, run.flashDelayMs);
  }
  const double addedMs = Milliseconds(run.Wall() - run.bound) / std::max(1, run.wire.exchanges);
  table.Add({"paced " + what + ": wall against wire time",
             Format("%.2f s wall, bound %.2f s (%s): ratio %.4f, %+.3f ms an exchange",
                    Seconds(run.Wall()), Seconds(run.bound), bound.c_str(), run.Ratio(), addedMs),
             run.Ratio(), "× bound", "≤ 1.01 × bound", run.Ratio() <= 1.01});
  table.Add({"paced " + what + ": zema-transfer CPU",
             Format("%.2f %% of wall (%.2f s)", 100 * run.CpuShare(), run.program.cpuSeconds),
             100 * run.CpuShare(), "% of wall", "≤ 2 % of wall", 100 * run.CpuShare() <= 2.0});
  if (run.SimCpuShare() >= 0) {
    table.Add({"paced " + what + ": zema-sim CPU",
               Format("%.2f %% of wall (%.2f s)", 100 * run.SimCpuShare(), Seconds(run.simCpu)),
               100 * run.SimCpuShare(), "% of wall", "", std::nullopt});
  }
}

// Reads the options; an exit status when the program ends here (help, a
// mistake).
std::optional<int> ParseOptions(int argc, char** argv, Options& options, bool& keep) {
  // In the build folder, which is never committed.
  options.csvPath = (fs::path(ExecutableFolder()).parent_path() / "zema-bench-backup.csv").string();
  std::string scaleList = "1,4,8";
  CLI::App app{
      "Runs zema-transfer against zema-sim and measures a whole backup (READ) and\n"
      "restore (WRITE) against the physical limit of the wire at 57600 baud: wall time\n"
      "against the line time of the frames actually exchanged, CPU, cancel latency,\n"
      "peak memory, and many sensors side by side. Prints one table and writes it as\n"
      "CSV. Exit status 0 when every goal is met, 1 when one is missed, 2 when a run\n"
      "failed."};
  app.add_flag("--full", options.full,
               "paced READ and WRITE of all 15 banks, side by side READs of all kinds of one bank, "
               "more cancel trials and pacing exchanges (about 25 minutes; the default takes "
               "about two and a half)");
  app.add_option("--banks", options.banks,
                 "banks of the paced READ and WRITE and of the READs through an adapter, A-B or N "
                 "(default 0, with --full 0-14)");
  app.add_option("--adapter-latency", options.adapterLatencies,
                 "latency timers (ms) of the modelled USB adapters a paced READ goes through")
      ->check(CLI::Range(1, 255))
      ->delimiter(',')
      ->capture_default_str();
  app.add_option("--only", options.only, "run only these phases")
      ->check(CLI::IsMember(kPhases))
      ->delimiter(',');
  app.add_option("--scale-banks", options.scaleBanks,
                 "banks of which each sensor side by side reads all kinds (default: what the "
                 "dialog reads, all banks' parameter sets, common set, compensation table; with "
                 "--full bank 0)");
  app.add_option("--scale", scaleList, "numbers of sensors side by side")->capture_default_str();
  app.add_option("--flash-delay", options.flashDelayMs,
                 "milliseconds a paced sensor's flash store takes")
      ->check(CLI::Range(0, 30000))
      ->capture_default_str();
  app.add_option("--cancel-trials", options.cancelTrials,
                 "SIGINTs sent at random moments (default 3, with --full 10)")
      ->check(CLI::Range(1, 100));
  app.add_option("--pacing-count", options.pacingCount,
                 "block reads of the minimal pacing client (default 200, with --full 1000)")
      ->check(CLI::Range(10, 100000));
  app.add_option("--csv", options.csvPath, "where the table goes as CSV")->capture_default_str();
  app.add_option("--work", options.workFolder,
                 "folder for the files, traces and logs (kept); default a temporary one");
  app.add_flag("--keep", keep, "keep the temporary work folder");
  app.add_flag("--no-loader", options.noLoader, "skip the dialog (needs xvfb and xdotool)");
  app.add_option("--seed", options.seed, "seed of the cancel moments")->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  }

  if (options.banks.empty()) options.banks = options.full ? "0-14" : "0";
  if (options.pacingCount == 0) options.pacingCount = options.full ? 1000 : 200;
  if (options.cancelTrials == 0) options.cancelTrials = options.full ? 10 : 3;
  if (options.scaleBanks.empty() && options.full) options.scaleBanks = "0";
  options.scale.clear();
  std::stringstream list(scaleList);
  std::string item;
  while (std::getline(list, item, ',')) {
    const int n = std::atoi(item.c_str());
    if (n < 1 || n > 64) {
      std::cerr << "zema-bench-backup: --scale takes numbers 1 to 64\n";
      return 2;
    }
    options.scale.push_back(n);
  }
  return std::nullopt;
}

// One benchmark run: the setup every phase uses, the table they fill, and
// the peak memory of every zema-transfer run seen so far. Each phase
// returns false when a run failed (the error printed); the phases after a
// failed one are skipped.
class BackupBench {
 public:
  BackupBench(const Options& options, BenchSetup setup)
      : options_(options),
        setup_(std::move(setup)),
        // One block read on the wire: the most a cancel may add, and the idle
        // pause before each of the machine's round trips.
        block_(WireTime(kCmdReadBlock.WireBytes(), setup_.baud)) {}

  const ResultTable& table() const { return table_; }

  // Unpaced: the program's own cost per exchange, all kinds, all banks.
  bool Unpaced() {
    Progress("unpaced READ and WRITE of all banks");
    TransferFigures read;
    TransferFigures write;
    if (!RunOne(setup_, {"unpaced-read", "read", {"--all"}, Work("unpaced"), false}, read) ||
        !RunOne(setup_, {"unpaced-write", "write", {"--all"}, Work("unpaced"), false}, write)) {
      return false;
    }
    NoteMemory(read);
    NoteMemory(write);
    AddUnpaced(table_, "READ, all kinds, banks 0-14", read, true);
    AddUnpaced(table_, "WRITE, all kinds, banks 0-14", write, false);
    return true;
  }

  // Paced: against the wire.
  bool Paced() {
    const std::string banks = BankText(options_.banks);
    TransferFigures read;
    TransferFigures write;
    Progress("paced READ of " + banks);
    if (!RunOne(setup_,
                {"paced-read", "read", {"--all", "--banks", options_.banks}, Work("paced"), true},
                read)) {
      return false;
    }
    Progress("paced WRITE of " + banks);
    if (!RunOne(
            setup_,
            {"paced-write", "write", {"--all", "--banks", options_.banks}, Work("unpaced"), true},
            write)) {
      return false;
    }
    NoteMemory(read);
    NoteMemory(write);
    AddPaced(table_, "READ, all kinds, " + banks, read);
    AddPaced(table_, "WRITE, all kinds, " + banks, write);
    return true;
  }

  // Paced READs through modelled USB adapters: what an adapter's latency
  // timer adds to each exchange.
  bool ThroughAdapters() {
    const std::string banks = BankText(options_.banks);
    for (int latencyMs : options_.adapterLatencies) {
      const std::string timer = std::to_string(latencyMs) + " ms";
      Progress("paced READ of " + banks + " through an adapter with a " + timer + " latency timer");
      TransferJob job{"adapter" + std::to_string(latencyMs) + "-read",
                      "read",
                      {"--all", "--banks", options_.banks},
                      Work("adapter"),
                      true};
      job.adapterLatencyMs = latencyMs;
      TransferFigures read;
      if (!RunOne(setup_, job, read)) return false;
      NoteMemory(read);
      const double addedMs =
          Milliseconds(read.Wall() - read.bound) / std::max(1, read.wire.exchanges);
      table_.Add({"paced READ, all kinds, " + banks + ", USB adapter, " + timer + " timer",
                  Format("%.2f s wall, bound %.2f s (%d exchanges): ratio %.4f, %+.3f ms an "
                         "exchange",
                         Seconds(read.Wall()), Seconds(read.bound), read.wire.exchanges,
                         read.Ratio(), addedMs),
                  read.Ratio(), "× bound", "", std::nullopt});
    }
    return true;
  }

  // Paced READs through ser2net on the loopback: what a device server and
  // TCP add to each exchange, and what Nagle's algorithm on the client's
  // side would add.
  bool ThroughDeviceServer() {
    if (DeviceServer::ProgramPath().empty()) {
      std::cerr << "zema-bench-backup: ser2net is not installed; no device server rows\n";
      return true;
    }
    const std::string banks = BankText(options_.banks);
    struct Kind {
      const char* name;
      DeviceServer::Mode mode;
      bool serverNagle;
      bool clientNagle;
    };
    using enum DeviceServer::Mode;
    for (const Kind kind :
         {Kind{"rfc2217://", kRfc2217, false, false}, Kind{"socket://", kRaw, false, false},
          Kind{"rfc2217://, ser2net without nodelay", kRfc2217, true, false},
          Kind{"rfc2217://, TCP_NODELAY off both sides", kRfc2217, true, true}}) {
      Progress("paced READ of " + banks + " through ser2net, " + kind.name);
      TransferJob job{
          "server-read", "read", {"--all", "--banks", options_.banks}, Work("server"), true};
      job.deviceServer = kind.mode;
      job.serverNagle = kind.serverNagle;
      job.clientNagle = kind.clientNagle;
      TransferFigures read;
      if (!RunOne(setup_, job, read)) return false;
      NoteMemory(read);
      const double addedMs =
          Milliseconds(read.Wall() - read.bound) / std::max(1, read.wire.exchanges);
      const bool goal = !kind.serverNagle && !kind.clientNagle;
      table_.Add({"paced READ, all kinds, " + banks + ", ser2net, " + kind.name,
                  Format("%.2f s wall, bound %.2f s (%d exchanges): ratio %.4f, %+.3f ms an "
                         "exchange",
                         Seconds(read.Wall()), Seconds(read.bound), read.wire.exchanges,
                         read.Ratio(), addedMs),
                  read.Ratio(), "× bound", goal ? "≤ 1.01 × bound" : "",
                  goal ? std::optional<bool>(read.Ratio() <= 1.01) : std::nullopt});
    }
    return true;
  }

  // Cancel: SIGINT at random moments of a paced pattern READ.
  bool CancelLatency() {
    Progress("cancel latency, " + std::to_string(options_.cancelTrials) + " trials");
    std::vector<CancelTrial> trials;
    for (int i = 0; i < options_.cancelTrials; ++i) {
      CancelTrial trial;
      std::string error;
      if (!MeasureCancel(setup_, options_.seed + static_cast<unsigned>(i), trial, error)) {
        std::cerr << "zema-bench-backup: " << error << std::endl;
        return false;
      }
      trials.push_back(trial);
    }
    nanoseconds longest{0};
    nanoseconds sum{0};
    int after = 0;
    bool allStopped = true;
    for (const CancelTrial& trial : trials) {
      longest = std::max(longest, trial.latency);
      sum += trial.latency;
      after = std::max(after, trial.commandsAfterSignal);
      allStopped = allStopped && trial.exitStatus == 3;
    }
    table_.Add(
        {"cancel: SIGINT to exit, paced pattern READ",
         Format("max %.1f ms, mean %.1f ms over %d trials; one block %.1f ms; at most %d "
                "command%s sent after SIGINT%s",
                Milliseconds(longest), Milliseconds(sum) / static_cast<double>(trials.size()),
                static_cast<int>(trials.size()), Milliseconds(block_), after, after == 1 ? "" : "s",
                allStopped ? "" : "; NOT every run ended with status 3"),
         Milliseconds(longest), "ms",
         "within one block: no command after SIGINT, exit ≤ 1 block + 5 ms",
         after == 0 && allStopped && longest <= block_ + std::chrono::milliseconds(5)});
    return true;
  }

  // Memory: the highest of the zema-transfer runs so far, and the dialog's.
  bool Memory() {
    table_.Add({"peak RSS: zema-transfer",
                Format("%.1f MB (highest of %d runs above, VmHWM at exit)",
                       peakTransferKb_ / 1024.0, transferRuns_),
                peakTransferKb_ / 1024.0, "MB", "≤ 10 MB", peakTransferKb_ <= 10 * 1024});
    if (options_.noLoader) return true;
    Progress("the dialog's memory during a READ (Xvfb)");
    long loaderKb = 0;
    std::string error;
    if (MeasureLoaderPeakRss(setup_, loaderKb, error)) {
      table_.Add({"peak RSS: zema-loader (dialog, under Xvfb)",
                  Format("%.1f MB (VmHWM after a paced READ of all parameter sets and the "
                         "compensation table)",
                         loaderKb / 1024.0),
                  loaderKb / 1024.0, "MB", "", std::nullopt});
      table_.Add(DialogPaceRow("dialog READ, compensation table: zema-loader (Qt, Xvfb)",
                               LoaderTrace(setup_), setup_.baud));
    } else {
      std::cerr << "zema-bench-backup: " << error << std::endl;
      table_.Add({"peak RSS: zema-loader (dialog, under Xvfb)", "not measured (see above)", 0, "MB",
                  "", std::nullopt});
    }
    WineDialogPace();
    return true;
  }

  // The Windows dialog's paced READ of the compensation table under Wine.
  void WineDialogPace() {
    Progress("the Windows dialog's READ under Wine (Xvfb)");
    const char* row = "dialog READ, compensation table: zema-loader.exe (Wine, Xvfb)";
    std::string trace;
    std::string error;
    if (!fs::exists(setup_.windowsBinFolder + "/zema-loader.exe")) {
      table_.Add({row, "not measured: no " + setup_.windowsBinFolder + "/zema-loader.exe", 0,
                  "× wire", "", std::nullopt});
    } else if (RunWineLoaderRead(setup_, trace, error)) {
      table_.Add(DialogPaceRow(row, trace, setup_.baud));
    } else {
      std::cerr << "zema-bench-backup: " << error << std::endl;
      table_.Add({row, "not measured (see above)", 0, "× wire", "", std::nullopt});
    }
  }

  // Side by side: N sensors, N processes, paced.
  bool SideBySideRuns() {
    const std::string scaleWhat = ScaleText(options_.scaleBanks);
    const std::vector<std::string> selection =
        options_.scaleBanks.empty()
            ? std::vector<std::string>{"--params", "--common", "--compensation"}
            : std::vector<std::string>{"--all", "--banks", options_.scaleBanks};
    nanoseconds one{0};
    for (int n : options_.scale) {
      SideBySide result;
      Progress(std::to_string(n) + (n == 1 ? " paced READ of " : " paced READs of ") + scaleWhat +
               (n == 1 ? " alone" : " side by side"));
      if (!RunCounted(setup_, {"scale" + std::to_string(n), "read", selection, Work("scale"), true},
                      n, result)) {
        return false;
      }
      for (const TransferFigures& run : result.runs) NoteMemory(run);
      double worstRatio = 0;
      for (const TransferFigures& run : result.runs) worstRatio = std::max(worstRatio, run.Ratio());
      if (n == 1) one = result.wall;
      ResultRow row;
      row.measurement = Format("side by side: %d sensor%s, paced READ of %s", n,
                               n == 1 ? "" : "s", scaleWhat.c_str());
      row.unit = "× one";
      if (one.count() > 0) {
        row.value = static_cast<double>(result.wall.count()) / static_cast<double>(one.count());
      }
      row.figure = Format("%.2f s total wall", Seconds(result.wall));
      if (n > 1 && one.count() > 0) {
        row.figure += Format(": %.4f × one", row.value);
        row.goal = "≤ 1.05 × one";
        row.met = row.value <= 1.05;
      }
      row.figure += Format("; worst run %.4f × its bound", worstRatio);
      table_.Add(row);
    }
    return true;
  }

  // A line by one backup command: its sensors on worker threads of one
  // process, against the same command with one sensor.
  bool LineBackup() {
    constexpr int kLineSensors = 16;
    const std::string copy = options_.scaleBanks.empty()
                                 ? "copy = [\"params\", \"common\", \"compensation\"]"
                                 : "copy = \"all\"\nbanks = \"" + options_.scaleBanks + "\"";
    Progress("a backup command with one paced sensor, then with " + std::to_string(kLineSensors));
    ProgramOutcome one;
    ProgramOutcome line;
    std::string error;
    if (!RunLineBackup(setup_, 1, copy, Work("line-1"), one, error) ||
        !RunLineBackup(setup_, kLineSensors, copy, Work("line-16"), line, error)) {
      std::cerr << "zema-bench-backup: " << error << std::endl;
      return false;
    }
    ResultRow row;
    row.measurement = Format("line backup: %d sensors by one backup command, %s", kLineSensors,
                             ScaleText(options_.scaleBanks).c_str());
    row.value = line.seconds() / one.seconds();
    row.figure = Format(
        "%.2f s against %.2f s alone: %.4f × one; the whole run %.2f s CPU (%.1f %% of one "
        "core), peak %ld kB",
        line.seconds(), one.seconds(), row.value, line.cpuSeconds,
        100.0 * line.cpuSeconds / line.seconds(), line.peakRssKb);
    row.unit = "× one";
    row.goal = "≤ 1.02 × one";
    row.met = row.value <= 1.02;
    table_.Add(row);
    return true;
  }

  // What the machine adds to any exchange over a pseudo-terminal: two
  // wake-ups, measured at the pace of a paced run. Measured first, because
  // the virtual sensor's pacing is judged by what it adds on top of it.
  // Empty (and the error printed) when it could not be measured.
  std::optional<RoundTrips> MachineRoundTrips() {
    const int trips = options_.full ? 400 : 100;
    Progress("the machine's own round trips over a pseudo-terminal, " + std::to_string(trips));
    RoundTrips result;
    std::string error;
    if (!MeasurePtyRoundTrips(trips, block_, result, error)) {
      std::cerr << "zema-bench-backup: " << error << std::endl;
      return std::nullopt;
    }
    table_.Add({Format("machine: pty round trip after %.0f ms idle, %d times", Milliseconds(block_),
                       result.count),
                Format("mean %.0f us, median %.0f us (= %.3f %% of a block), 99 %% %.0f us, max "
                       "%.0f us: two wake-ups, in every exchange of every client",
                       Microseconds(result.mean), Microseconds(result.median),
                       100.0 * static_cast<double>(result.median.count()) /
                           static_cast<double>(block_.count()),
                       Microseconds(result.p99), Microseconds(result.max)),
                Microseconds(result.median), "us", "", std::nullopt});
    return result;
  }

  // The virtual sensor's own pacing, seen by a client that does nothing
  // else. What the client sees above the wire time is the sensor plus the
  // machine's round trip; the goal is on the sensor's part, the difference
  // of the two medians (the means carry the machine's rare late wake-ups).
  bool SimPacing(const std::optional<RoundTrips>& machine) {
    Progress("the virtual sensor's pacing, " + std::to_string(options_.pacingCount) +
             " block reads by the minimal client");
    PacingRun run;
    run.simProgram = setup_.binFolder + "/zema-sim";
    run.count = options_.pacingCount;
    run.communic = 0;
    PacingResult result;
    std::string error;
    if (!MeasureSimPacing(run, result, error)) {
      std::cerr << "zema-bench-backup: " << error << std::endl;
      return false;
    }
    const double perExchangeWire = static_cast<double>(result.wireTime.count()) / result.exchanges;
    const auto share = [&](nanoseconds t) {
      return 100.0 * static_cast<double>(t.count()) / perExchangeWire;
    };
    ResultRow row{Format("zema-sim pacing: %d block reads, minimal client", result.exchanges),
                  Format("client sees +%.3f %% (mean %.0f us an exchange; median %.0f us = "
                         "%.3f %%, 99 %% %.0f us, max %.0f us)",
                         (result.Ratio() - 1) * 100, Microseconds(result.OverheadPerExchange()),
                         Microseconds(result.medianOverhead), share(result.medianOverhead),
                         Microseconds(result.p99Overhead), Microseconds(result.maxOverhead)),
                  share(result.medianOverhead),
                  "%",
                  "",
                  std::nullopt};
    if (machine) {
      const nanoseconds own = result.medianOverhead - machine->median;
      row.value = share(own);
      row.figure += Format("; less the machine's round trip: %+.0f us = %+.3f %%",
                           Microseconds(own), row.value);
      row.goal = "sensor adds < 0.2 %";
      row.met = row.value < 0.2;
    }
    table_.Add(row);
    return true;
  }

 private:
  std::string Work(const std::string& name) const {
    return (fs::path(setup_.workFolder) / name).string();
  }

  void NoteMemory(const TransferFigures& run) {
    peakTransferKb_ = std::max(peakTransferKb_, run.program.peakRssKb);
    ++transferRuns_;
  }

  const Options& options_;
  BenchSetup setup_;
  nanoseconds block_;
  ResultTable table_;
  long peakTransferKb_ = 0;
  int transferRuns_ = 0;
};

// The heading above the table: the machine, the settings, the load.
void PrintHeading(const Options& options, const std::string& loadBefore,
                  std::chrono::steady_clock::time_point benchStarted) {
  std::cout << "zema-bench-backup: " << Machine() << "\n"
            << "57600 baud, flash store " << options.flashDelayMs << " ms; paced runs "
            << BankText(options.banks) << ", side by side " << ScaleText(options.scaleBanks)
            << "; load average " << loadBefore << " before, " << LoadAverage() << " after; "
            << Format("%.0f s in all", Seconds(std::chrono::steady_clock::now() - benchStarted))
            << "\n\n";
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool keep = false;
  if (const std::optional<int> exitStatus = ParseOptions(argc, argv, options, keep)) {
    return *exitStatus;
  }

  BenchSetup setup;
  setup.binFolder = ExecutableFolder();
  setup.flashDelayMs = options.flashDelayMs;
  setup.loaderScript = ZEMA_BENCH_SOURCE_DIR "/loader_peak_rss.sh";
  setup.wineLoaderScript = ZEMA_BENCH_SOURCE_DIR "/loader_wine_read.sh";
  setup.windowsBinFolder = ZEMA_BENCH_WINDOWS_BIN;
  const bool temporary = options.workFolder.empty();
  setup.workFolder =
      temporary ? (fs::temp_directory_path() / ("zema-bench-backup-" + std::to_string(::getpid())))
                      .string()
                : options.workFolder;
  fs::create_directories(setup.workFolder);
  const std::string workFolder = setup.workFolder;

  const std::string loadBefore = LoadAverage();
  const auto benchStarted = std::chrono::steady_clock::now();
  BackupBench bench(options, std::move(setup));
  const auto phase = [&](const std::string& name, auto run) {
    return !options.Runs(name) || run();
  };
  bool ran = phase("unpaced", [&] { return bench.Unpaced(); }) &&
             phase("paced", [&] { return bench.Paced(); }) &&
             phase("adapter", [&] { return bench.ThroughAdapters(); }) &&
             phase("server", [&] { return bench.ThroughDeviceServer(); }) &&
             phase("cancel", [&] { return bench.CancelLatency(); }) &&
             phase("memory", [&] { return bench.Memory(); }) &&
             phase("scale", [&] { return bench.SideBySideRuns(); }) &&
             phase("line", [&] { return bench.LineBackup(); }) &&
             phase("pacing", [&] { return bench.SimPacing(bench.MachineRoundTrips()); });

  PrintHeading(options, loadBefore, benchStarted);
  bench.table().PrintText(std::cout);
  std::ofstream csv(options.csvPath);
  bench.table().PrintCsv(csv);
  std::cout << "\n(CSV: " << options.csvPath << ")" << std::endl;

  if (temporary && !keep) {
    std::error_code ignored;
    fs::remove_all(workFolder, ignored);
  } else {
    std::cout << "(files, traces and logs: " << workFolder << ")" << std::endl;
  }
  if (!ran) return 2;
  return bench.table().AllGoalsMet() ? 0 : 1;
}
