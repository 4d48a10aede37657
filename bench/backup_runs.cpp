#include "bench/backup_runs.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <thread>

#include "bench/sim_process.h"
#include "link/commands.h"
#include "support/child_output.h"
#include "support/file_bytes.h"

namespace zema::bench {
namespace {

namespace fs = std::filesystem;
using std::chrono::nanoseconds;

std::string InWork(const BenchSetup& setup, const std::string& name) {
  return (fs::path(setup.workFolder) / name).string();
}

// Every sensor keeps its memory in a state file, as the demo's does: a
// WRITE then also shows that storing items costs the replies nothing.
std::vector<std::string> SimArguments(const BenchSetup& setup, bool paced,
                                      const std::string& stateFile, int adapterLatencyMs = 0) {
  std::error_code ignored;
  fs::remove(stateFile, ignored);
  fs::remove(stateFile + ".journal", ignored);
  std::vector<std::string> arguments = {paced ? "--pace" : "--no-pace", "--flash-delay",
                                        std::to_string(paced ? setup.flashDelayMs : 0), "--state",
                                        stateFile};
  if (adapterLatencyMs > 0) {
    arguments.insert(arguments.end(), {"--adapter-latency", std::to_string(adapterLatencyMs)});
  }
  return arguments;
}

std::string Launcher(const BenchSetup& setup) { return setup.binFolder + "/zema-bench-launch"; }

// A benchmark's runs are watched by the one who runs it, not by a limit.
constexpr auto kNoLimit = std::chrono::hours(24);

// Starts argv (argv[0] a path); false with `error` set.
bool Start(ProgramRun& run, const std::vector<std::string>& argv, std::string& error,
           const std::vector<std::string>& environment = {}) {
  if (run.Start(argv[0], {argv.begin() + 1, argv.end()}, environment)) return true;
  error = run.startError();
  return false;
}

// The port is `device` when given, else COM number `port`.
std::vector<std::string> TransferArguments(const BenchSetup& setup, const TransferJob& job,
                                           const std::string& base, int port, bool trace,
                                           const std::string& device = {}) {
  std::vector<std::string> arguments = {setup.binFolder + "/zema-transfer", job.command};
  arguments.insert(arguments.end(), job.selection.begin(), job.selection.end());
  arguments.insert(arguments.end(), {"--base", base});
  if (device.empty()) {
    arguments.insert(arguments.end(), {"--port", std::to_string(port)});
  } else {
    arguments.insert(arguments.end(), {"--device", device});
  }
  if (job.command == "read") arguments.push_back("--overwrite");
  if (trace) arguments.push_back("--trace");
  return arguments;
}

// Bytes moved since connecting, from the last progress line
// ("step 133785/133785 Reading from ZEMA is completed."); -1 without one.
long long MovedBytes(const std::string& output) {
  long long moved = -1;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    long long done = 0, total = 0;
    if (std::sscanf(line.c_str(), "step %lld/%lld", &done, &total) == 2) moved = done;
  }
  return moved;
}

// The last lines a program printed, for an error message.
std::string Tail(const std::string& text, int lines) {
  std::size_t at = text.size();
  for (int i = 0; i <= lines && at != std::string::npos && at > 0; ++i) {
    at = text.rfind('\n', at - 1);
  }
  return at == std::string::npos ? text : text.substr(at + 1);
}

}  // namespace

double TransferFigures::Ratio() const {
  return bound.count() > 0 ? static_cast<double>(Wall().count()) / bound.count() : 0.0;
}

double TransferFigures::CpuShare() const { return program.cpuSeconds / program.seconds(); }

double TransferFigures::SimCpuShare() const {
  if (simCpu.count() < 0) return -1.0;
  return static_cast<double>(simCpu.count()) / static_cast<double>(Wall().count());
}

bool RunSideBySide(const BenchSetup& setup, const std::vector<TransferJob>& jobs,
                   const CountedFrames& counted, SideBySide& result, std::string& error) {
  const std::size_t n = jobs.size();
  std::vector<std::unique_ptr<SimProcess>> sims;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string tag = jobs[i].name + "-" + std::to_string(i + 1);
    sims.push_back(std::make_unique<SimProcess>());
    if (!sims.back()->Start(setup.binFolder + "/zema-sim",
                            SimArguments(setup, jobs[i].paced, InWork(setup, tag + ".state"),
                                         jobs[i].adapterLatencyMs),
                            InWork(setup, tag + ".sim.log"), error)) {
      return false;
    }
  }

  std::vector<std::unique_ptr<DeviceServer>> servers;
  for (std::size_t i = 0; i < n; ++i) {
    servers.push_back(std::make_unique<DeviceServer>());
    if (jobs[i].deviceServer && !servers.back()->Start(sims[i]->devicePath(), *jobs[i].deviceServer,
                                                       error, jobs[i].serverNagle)) {
      return false;
    }
  }

  std::vector<nanoseconds> simCpuBefore;
  for (const auto& sim : sims) simCpuBefore.push_back(sim->CpuTime());
  std::vector<std::unique_ptr<ProgramRun>> children;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string tag = jobs[i].name + "-" + std::to_string(i + 1);
    const std::string base = n == 1 ? jobs[i].base : jobs[i].base + "-" + std::to_string(i + 1);
    ProgramSetup measured;
    measured.outputFile = InWork(setup, tag + ".out");
    measured.launcher = Launcher(setup);
    children.push_back(std::make_unique<ProgramRun>(measured));
    std::vector<std::string> environment;
    if (jobs[i].clientNagle) environment.push_back("ZEMA_TCP_NAGLE=1");
    if (!Start(*children.back(),
               TransferArguments(setup, jobs[i], base, sims[i]->port(), false, servers[i]->url()),
               error, environment)) {
      return false;
    }
  }
  // Each is timed by its launcher at its own exit, whatever the order of
  // collecting them.
  std::vector<ProgramOutcome> usage;
  for (const auto& child : children) usage.push_back(child->Wait(kNoLimit));

  result = SideBySide{};
  auto firstStart = usage.front().started;
  auto lastExit = firstStart;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string tag = jobs[i].name + "-" + std::to_string(i + 1);
    TransferFigures figures;
    figures.program = usage[i];
    const nanoseconds simCpuAfter = sims[i]->CpuTime();
    if (simCpuBefore[i].count() >= 0 && simCpuAfter.count() >= 0) {
      figures.simCpu = simCpuAfter - simCpuBefore[i];
    }
    const std::string output = ReadFileBytes(InWork(setup, tag + ".out"));
    figures.wire = counted.wire;
    figures.movedBytes = MovedBytes(output);
    figures.flashDelayMs = jobs[i].paced ? setup.flashDelayMs : 0;
    figures.bound = jobs[i].paced ? figures.wire.Bound(setup.baud,
                                                       std::chrono::milliseconds(figures.flashDelayMs))
                                  : nanoseconds(0);
    if (usage[i].status != 0) {
      error = "zema-transfer " + jobs[i].command + " (" + tag + ") ended with status " +
              std::to_string(usage[i].status) + ":\n" + Tail(output, 5);
      return false;
    }
    if (figures.movedBytes != counted.movedBytes) {
      error = "zema-transfer " + jobs[i].command + " (" + tag + ") moved " +
              std::to_string(figures.movedBytes) + " bytes, its traced twin " +
              std::to_string(counted.movedBytes) + ": not the same frames";
      return false;
    }
    firstStart = std::min(firstStart, usage[i].started);
    lastExit = std::max(lastExit, usage[i].ended);
    result.runs.push_back(figures);
  }
  result.wall = lastExit - firstStart;
  return true;
}

bool CountFrames(const BenchSetup& setup, const TransferJob& job, CountedFrames& counted,
                 std::string& error) {
  const std::string tag = job.name + "-twin";
  SimProcess sim;
  if (!sim.Start(setup.binFolder + "/zema-sim",
                 SimArguments(setup, false, InWork(setup, tag + ".state")),
                 InWork(setup, tag + ".sim.log"), error)) {
    return false;
  }
  const std::string tracePath = InWork(setup, tag + ".trace");
  ProgramSetup traced;
  traced.outputFile = tracePath;
  ProgramRun child(traced);
  // A READ's twin writes files of its own; a WRITE's reads the same files.
  const std::string base = job.command == "read" ? job.base + "-twin" : job.base;
  if (!Start(child, TransferArguments(setup, job, base, sim.port(), true), error)) return false;
  const ProgramOutcome usage = child.Wait(kNoLimit);
  const std::string output = ReadFileBytes(tracePath);
  if (usage.status != 0) {
    error = "zema-transfer " + job.command + " (" + tag + ") ended with status " +
            std::to_string(usage.status) + ":\n" + Tail(output, 5);
    return false;
  }
  counted = CountedFrames{};
  counted.wire.AddTrace(output);
  counted.movedBytes = MovedBytes(output);
  return true;
}

bool MeasureCancel(const BenchSetup& setup, unsigned seed, CancelTrial& trial,
                   std::string& error) {
  SimProcess sim;
  if (!sim.Start(setup.binFolder + "/zema-sim",
                 SimArguments(setup, true, InWork(setup, "cancel.state")),
                 InWork(setup, "cancel.sim.log"), error)) {
    return false;
  }
  const TransferJob job{"cancel", "read", {"--patterns", "--banks", "0-14"},
                        InWork(setup, "cancel"), true};
  ProgramSetup measured;
  measured.errorsAsOutput = true;
  measured.launcher = Launcher(setup);
  ProgramRun child(measured);
  if (!Start(child, TransferArguments(setup, job, job.base, sim.port(), true), error)) {
    return false;
  }

  // Somewhere among the first blocks, at any moment of a block.
  std::mt19937 random(seed);
  const int signalAfterBlock = std::uniform_int_distribution<int>(3, 30)(random);
  const double intoBlock = std::uniform_real_distribution<double>(0.0, 1.0)(random);
  const nanoseconds blockTime =
      WireTime(kCmdReadBlock.WireBytes(), setup.baud);

  LineReader reader(child.outFd());
  WireCount wire;
  std::string line;
  std::string output;
  while (wire.blockCommands < signalAfterBlock) {
    if (!reader.Next(line, 5000)) {
      error = "the pattern READ to be cancelled stopped early:\n" + Tail(output, 5);
      return false;
    }
    output += line + "\n";
    wire.AddTraceLine(line);
  }
  std::this_thread::sleep_for(
      std::chrono::duration_cast<nanoseconds>(blockTime * intoBlock));
  // Whatever it sent meanwhile was sent before the signal.
  while (reader.Next(line, 0)) {
    output += line + "\n";
    wire.AddTraceLine(line);
  }
  const int sentBefore = wire.exchanges;
  const auto signalled = std::chrono::steady_clock::now();
  child.Signal(SIGINT);
  while (reader.Next(line, -1)) {
    output += line + "\n";
    wire.AddTraceLine(line);
  }
  const ProgramOutcome usage = child.Wait(kNoLimit);
  trial.latency = usage.ended - signalled;
  trial.commandsAfterSignal = wire.exchanges - sentBefore;
  trial.exitStatus = usage.status;
  return true;
}

// Runs one of the dialog scripts to its end; its output, and whether it
// ended with status 0.
bool RunDialogScript(const std::vector<std::string>& command, std::string& output,
                     std::string& error) {
  ProgramSetup merged;
  merged.errorsAsOutput = true;
  ProgramRun script(merged);
  if (!Start(script, command, error)) return false;
  LineReader reader(script.outFd());
  std::string line;
  while (reader.Next(line, -1)) output += line + "\n";
  if (script.Wait(kNoLimit).status == 0) return true;
  error = "the dialog could not be measured (" + command[1] + "):\n" + Tail(output, 8);
  return false;
}

bool MeasureLoaderPeakRss(const BenchSetup& setup, long& peakKb, std::string& error) {
  const std::string folder = InWork(setup, "loader");
  fs::create_directories(folder);
  std::string output;
  if (!RunDialogScript({"/bin/bash", setup.loaderScript, setup.binFolder, folder}, output,
                       error)) {
    return false;
  }
  peakKb = -1;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("peak_rss_kb=", 0) == 0) peakKb = std::stol(line.substr(12));
  }
  if (peakKb < 0) error = "the dialog script gave no peak_rss_kb:\n" + Tail(output, 8);
  return peakKb >= 0;
}

std::string LoaderTrace(const BenchSetup& setup) { return InWork(setup, "loader") + "/sim.log"; }

bool RunWineLoaderRead(const BenchSetup& setup, std::string& trace, std::string& error) {
  const std::string folder = InWork(setup, "wine-loader");
  fs::create_directories(folder);
  trace = folder + "/sim.log";
  std::string output;
  return RunDialogScript({"/bin/bash", setup.wineLoaderScript, setup.windowsBinFolder,
                          setup.binFolder, folder},
                         output, error);
}

bool RunLineBackup(const BenchSetup& setup, int sensors, const std::string& copy,
                   const std::string& into, ProgramOutcome& program, std::string& error) {
  std::vector<std::unique_ptr<SimProcess>> sims;
  const std::string inventory = into + ".toml";
  std::ofstream toml(inventory);
  for (int i = 1; i <= sensors; ++i) {
    const std::string tag = "line-" + std::to_string(i);
    sims.push_back(std::make_unique<SimProcess>());
    if (!sims.back()->Start(setup.binFolder + "/zema-sim",
                            SimArguments(setup, true, InWork(setup, tag + ".state")),
                            InWork(setup, tag + ".sim.log"), error)) {
      return false;
    }
    toml << "[[sensor]]\nname = \"" << tag << "\"\nport = " << sims.back()->port() << "\n"
         << copy << "\n";
  }
  toml.close();
  ProgramSetup measured;
  measured.outputFile = into + ".out";
  measured.launcher = Launcher(setup);
  ProgramRun run(measured);
  if (!Start(
          run,
          {setup.binFolder + "/zema-transfer", "backup", "--inventory", inventory, "--into", into},
          error)) {
    return false;
  }
  program = run.Wait(kNoLimit);
  if (program.status == 0) return true;
  error = "the backup of " + std::to_string(sensors) + " sensors ended with status " +
          std::to_string(program.status) + ":\n" + Tail(ReadFileBytes(into + ".out"), 8);
  return false;
}

}  // namespace zema::bench
