#include "bench/soak_runner.h"

#include <unistd.h>

#include <filesystem>

#include "bench/sim_process.h"
#include "sim/state_file.h"
#include "support/file_bytes.h"
#include "support/program_run.h"

namespace zema::bench {
namespace {

namespace fs = std::filesystem;

// After its allowed time a run is given this much more before it is killed,
// so that a slow run is told from a hung one.
constexpr auto kHardLimitBeyond = std::chrono::seconds(10);
// The sanitizer build's zema-sim takes seconds to start on a busy machine.
constexpr auto kSensorStartLimit = std::chrono::seconds(60);

bool Writes(const SoakPlan& plan) {
  return plan.command == SoakCommand::kWrite || plan.command == SoakCommand::kWriteVerify;
}

bool WriteFolder(const std::string& folder, const FolderFiles& files, std::string& error) {
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  fs::create_directories(folder, ignored);
  for (const auto& [name, bytes] : files) {
    if (!WriteFileBytes(fs::path(folder) / name, bytes)) {
      error = "cannot write " + name + " in " + folder;
      return false;
    }
  }
  return true;
}

// Root writes into a folder whatever its mode: a run meant to meet a
// read-only folder runs without that override (setpriv drops it from the
// capabilities the program can have).
bool RunTransfer(const SoakSetup& setup, const std::vector<std::string>& arguments,
                 bool asOrdinaryUser, std::chrono::nanoseconds limit, ProgramOutcome& result,
                 std::string& error) {
  std::vector<std::string> argv = {setup.binFolder + "/zema-transfer"};
  if (asOrdinaryUser && ::geteuid() == 0) {
    argv.insert(argv.begin(),
                {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"});
  }
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ProgramRun run;
  if (!run.Start(argv[0], {argv.begin() + 1, argv.end()})) {
    error = run.startError();
    return false;
  }
  result = run.Wait(std::chrono::ceil<std::chrono::milliseconds>(limit));
  return true;
}

bool StartSensor(const SoakSetup& setup, const std::string& folder, const SoakPlan& plan,
                 const sim::SensorMemory& memory, SimProcess& sim, std::string& error) {
  const std::string state = folder + "/sensor.state";
  std::error_code ignored;
  fs::remove(state + ".journal", ignored);
  if (!sim::SaveState(state, memory, error)) return false;
  return sim.Start(setup.binFolder + "/zema-sim", SimArguments(plan, state), folder + "/sensor.log",
                   error, kSensorStartLimit);
}

// Stops the sensor and reads what it holds; whether it ended cleanly.
bool StopSensor(const std::string& folder, SimProcess& sim, SoakOutcome& outcome) {
  const bool clean = sim.Stop();
  outcome.simLog = ReadFileBytes(folder + "/sensor.log");
  sim::SensorMemory memory;
  std::string error;
  if (sim::LoadState(folder + "/sensor.state", memory, error) == sim::StateLoadResult::kLoaded) {
    outcome.seen.sensorAfter = std::move(memory);
  }
  return clean && outcome.simLog.find("Sanitizer") == std::string::npos &&
         outcome.simLog.find("runtime error:") == std::string::npos;
}

// Starts the sensor of `plan` holding `memory`, runs zema-transfer's
// `plan` against it and stops it again; with `outcome`, notes there how it
// ended and what it then holds.
bool RunAgainstSensor(const SoakSetup& setup, const std::string& root, const SoakPlan& plan,
                      const sim::SensorMemory& memory, const std::string& base,
                      std::chrono::nanoseconds limit, ProgramOutcome& run, SoakOutcome* outcome,
                      std::string& error) {
  SimProcess sim;
  if (!StartSensor(setup, root, plan, memory, sim, error)) return false;
  const fs::path folder = fs::path(base).parent_path();
  if (plan.readOnlyFolder)
    fs::permissions(folder,
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  const bool ran = RunTransfer(setup, TransferArguments(plan, base, sim.port()),
                               plan.readOnlyFolder, limit, run, error);
  if (plan.readOnlyFolder) fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
  if (!ran) return false;
  if (outcome != nullptr) {
    outcome->seen.sensorDevice = sim.devicePath();
    outcome->simClean = StopSensor(root, sim, *outcome);
  }
  return true;
}

// Whether a finished WRITE is to be compared by a second zema-transfer run.
bool WantsComparison(const SoakPlan& plan, const SoakScene& scene, const SoakOutcome& outcome) {
  if (!Writes(plan) || outcome.seen.program.status != 0 || !outcome.seen.sensorAfter) return false;
  for (const std::string& name : ItemFilePaths(scene.items, kSoakBaseName)) {
    if (!scene.files.contains(name)) return false;
  }
  return !scene.items.empty();
}

}  // namespace

bool CarryOut(const SoakSetup& setup, int worker, const SoakPlan& plan, const SoakScene& scene,
              SoakOutcome& outcome, std::string& error) {
  const std::string root = setup.workFolder + "/worker" + std::to_string(worker);
  const std::string files = root + "/files";
  fs::create_directories(root);
  if (!WriteFolder(files, scene.files, error)) return false;
  const std::string base = files + "/" + kSoakBaseName;

  outcome.allowed = plan.AllowedTime(setup.slack);
  RunSeen& seen = outcome.seen;
  if (!RunAgainstSensor(setup, root, plan, scene.sensor, base, outcome.allowed + kHardLimitBeyond,
                        seen.program, &outcome, error)) {
    return false;
  }
  seen.waited = seen.program.ended - seen.program.started;
  seen.filesAfter = FolderContents(files);
  if (!WantsComparison(plan, scene, outcome)) return true;

  // The same selection compared by the program itself, against a sensor
  // without faults holding what the WRITE left.
  SoakPlan compare = plan;
  compare.command = SoakCommand::kCompare;
  compare.fault = {};
  compare.resume = false;
  ProgramOutcome check;
  if (!RunAgainstSensor(setup, root, compare, *seen.sensorAfter, base,
                        setup.slack + kHardLimitBeyond, check, nullptr, error)) {
    return false;
  }
  outcome.compareStatus = check.overran || check.signal != 0 ? 2 : check.status;
  outcome.compareErr = check.err;
  return true;
}

std::vector<std::string> CheckPromise(const SoakPlan& plan, const SoakScene& scene,
                                      const SoakOutcome& outcome) {
  RunPromise promise;
  promise.changes = plan.command == SoakCommand::kRead ? RunPromise::Changes::kFiles
                    : Writes(plan)                     ? RunPromise::Changes::kSensor
                                                       : RunPromise::Changes::kNothing;
  promise.items = scene.items;
  promise.base = kSoakBaseName;
  promise.filesBefore = scene.files;
  promise.sensorBefore = scene.sensor;
  promise.status = scene.expectedStatus;
  promise.message = scene.expectedMessage;
  promise.hangUp = plan.fault.kind == SoakFaultKind::kHangUp;
  promise.allowed = outcome.allowed;
  std::vector<std::string> problems = BrokenPromises(promise, outcome.seen);
  if (!outcome.simClean) problems.push_back("zema-sim did not end cleanly: " + outcome.simLog);
  if (outcome.compareStatus > 0) {
    problems.push_back("the comparison after the WRITE failed: " + outcome.compareErr);
  }
  return problems;
}

}  // namespace zema::bench
