// zema-soak: zema-transfer READ, WRITE and compare runs against zema-sim,
// each with a fault drawn at random (or none), unpaced, one after another
// for a count or a time; after every run the promise is checked (see
// support/run_promise.h). Ends with one table; exit status 0 when no run
// broke the promise. Every run has a seed of its own, printed with a broken
// promise: --replay SEED runs that one again, with its output.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <random>
#include <thread>

#include "bench/result_table.h"
#include "bench/soak_runner.h"
#include "bench/soak_tally.h"
#include "link/port_device_path.h"

using namespace zema;
using namespace zema::bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
  long long count = 0;
  double seconds = 0;
  std::uint64_t seed = 0;
  std::string replay;
  int jobs = 2;
  double faultShare = 0.7;
  int slackMs = 5000;
  std::string work;
  std::string bin;
};

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
  return text;
}

int Replay(const SoakSetup& setup, std::uint64_t seed, double faultShare) {
  const SoakPlan plan = DrawPlan(seed, faultShare);
  const SoakScene scene = DrawScene(plan);
  std::cout << "run " << Hex(seed) << ": " << plan.Describe() << "\n";
  SoakOutcome outcome;
  std::string error;
  if (!CarryOut(setup, 0, plan, scene, outcome, error)) {
    std::cerr << "zema-soak: " << error << "\n";
    return 2;
  }
  const ProgramOutcome& run = outcome.seen.program;
  std::cout << "exit " << run.status << " after " << outcome.seen.waited.count() / 1000000
            << " ms (allowed " << outcome.allowed.count() / 1000000 << " ms); expected "
            << scene.expectedStatus << "\n--- its output:\n"
            << run.out << run.err << "--- the sensor's:\n"
            << outcome.simLog;
  const auto problems = CheckPromise(plan, scene, outcome);
  for (const std::string& problem : problems) std::cout << "VIOLATION: " << problem << "\n";
  std::cout << (problems.empty() ? "promise kept\n" : "promise broken\n");
  return problems.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{
      "Runs zema-transfer READ, WRITE and compare against zema-sim with faults drawn at random,\n"
      "checks after every run that nothing was lost, corrupted, reported wrongly or left\n"
      "waiting, and prints one table."};
  app.add_option("--count", options.count, "runs to make");
  app.add_option("--seconds", options.seconds,
                 "make runs for this long (with --count: whichever ends first)");
  app.add_option("--seed", options.seed, "seed of the soak (default: drawn, and printed)");
  app.add_option("--replay", options.replay,
                 "run the one run of this seed (as printed) and show it");
  app.add_option("--jobs", options.jobs, "runs side by side, each with a sensor of its own")
      ->check(CLI::Range(1, 16));
  app.add_option("--fault-share", options.faultShare, "part of the runs with a fault")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--slack-ms", options.slackMs,
                 "what a run may take beyond its faulty exchange's wait");
  app.add_option("--work", options.work, "folder for the runs' files (default: a new one in /tmp)");
  app.add_option("--bin", options.bin,
                 "folder of zema-transfer and zema-sim (default: this program's)");
  CLI11_PARSE(app, argc, argv);

  SoakSetup setup;
  setup.binFolder = options.bin.empty() ? ExecutableFolder() : options.bin;
  setup.workFolder =
      options.work.empty()
          ? (fs::temp_directory_path() / ("zema-soak-" + std::to_string(::getpid()))).string()
          : options.work;
  setup.slack = std::chrono::milliseconds(options.slackMs);
  fs::create_directories(setup.workFolder);

  if (!options.replay.empty()) {
    const int status = Replay(setup, std::stoull(options.replay, nullptr, 0), options.faultShare);
    if (options.work.empty()) fs::remove_all(setup.workFolder);
    return status;
  }
  if (options.count <= 0 && options.seconds <= 0) options.count = 200;
  if (options.seed == 0) options.seed = std::random_device{}() | 1ULL << 40;
  std::cout << "zema-soak: seed " << Hex(options.seed) << ", " << options.jobs << " side by side, "
            << (options.count > 0 ? std::to_string(options.count) + " runs"
                                  : std::string("no count"))
            << (options.seconds > 0 ? ", at most " + std::to_string(options.seconds) + " s"
                                    : std::string())
            << "; work in " << setup.workFolder << std::endl;

  SoakTally tally;
  std::mutex mutex;
  std::atomic<long long> next{0};
  std::atomic<bool> broken{false};
  const auto started = Clock::now();
  const auto ended = started + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double>(options.seconds));
  const auto more = [&](long long index) {
    if (options.count > 0 && index >= options.count) return false;
    return options.seconds <= 0 || Clock::now() < ended;
  };
  std::vector<std::thread> workers;
  for (int w = 0; w < options.jobs; ++w) {
    workers.emplace_back([&, w] {
      for (long long i = next++; more(i) && !broken; i = next++) {
        const std::uint64_t seed = RunSeed(options.seed, static_cast<std::uint64_t>(i));
        const SoakPlan plan = DrawPlan(seed, options.faultShare);
        const SoakScene scene = DrawScene(plan);
        SoakOutcome outcome;
        std::string error;
        if (!CarryOut(setup, w, plan, scene, outcome, error)) {
          std::lock_guard lock(mutex);
          std::cerr << "zema-soak: run " << Hex(seed) << " could not be made: " << error
                    << std::endl;
          broken = true;
          break;
        }
        const auto problems = CheckPromise(plan, scene, outcome);
        std::lock_guard lock(mutex);
        tally.Add(plan, outcome, problems.empty());
        if (!problems.empty()) {
          std::cout << "VIOLATION in run " << Hex(seed) << " (" << plan.Describe() << "):\n";
          for (const std::string& problem : problems) std::cout << "  " << problem << "\n";
          std::cout << "  replay: " << argv[0] << " --replay " << Hex(seed) << std::endl;
        }
        if (tally.runs() % 100 == 0) {
          std::cout
              << tally.runs() << " runs, " << tally.violations() << " violations, "
              << std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started).count()
              << " s" << std::endl;
        }
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
  if (options.work.empty()) fs::remove_all(setup.workFolder);

  ResultTable table = tally.Table(Clock::now() - started, options.seed, options.jobs);
  std::cout << "\n";
  table.PrintText(std::cout);
  if (broken) return 2;
  return table.AllGoalsMet() ? 0 : 1;
}
