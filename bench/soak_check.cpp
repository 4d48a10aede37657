#include "bench/soak_check.h"

#include "res/messages.h"

namespace zema::bench {
namespace {

bool SameImages(const sim::SensorMemory& a, const sim::SensorMemory& b) {
  return a.params == b.params && a.compensation == b.compensation && a.patterns == b.patterns;
}

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool AllSourcesThere(const SoakScene& scene) {
  for (const SensorItem& item : scene.items) {
    if (!scene.files.contains(ItemPath(kSoakBaseName, item))) return false;
  }
  return true;
}

// The sensor's item as a file, the way the run's formats see it.
std::vector<std::uint8_t> Held(const SoakOutcome& outcome, const SensorItem& item) {
  return ItemFileBytes(outcome.sensorAfter, item);
}

void CheckFolder(const SoakPlan& plan, const SoakScene& scene, const SoakOutcome& outcome,
                 std::vector<std::string>& problems) {
  for (const auto& [name, bytes] : outcome.filesAfter) {
    bool target = false;
    for (const SensorItem& item : scene.items)
      target = target || ItemPath(kSoakBaseName, item) == name;
    if (!target && !scene.files.contains(name)) problems.push_back("a file left behind: " + name);
    if (!target && scene.files.contains(name) && scene.files.at(name) != bytes) {
      problems.push_back("a file of no item changed: " + name);
    }
  }
  for (const SensorItem& item : scene.items) {
    const std::string name = ItemPath(kSoakBaseName, item);
    const auto before = scene.files.find(name);
    const auto after = outcome.filesAfter.find(name);
    const bool kept = before == scene.files.end()
                          ? after == outcome.filesAfter.end()
                          : after != outcome.filesAfter.end() && after->second == before->second;
    if (plan.command != SoakCommand::kRead) {
      if (!kept) problems.push_back("a source file changed: " + name);
      continue;
    }
    const bool sensorsOwn = after != outcome.filesAfter.end() && outcome.sensorRead &&
                            after->second == Held(outcome, item);
    if (outcome.status == 0 && !sensorsOwn) {
      problems.push_back(name + " differs from what the sensor holds");
    } else if (!kept && !sensorsOwn) {
      problems.push_back(name + " is neither its older self nor the sensor's");
    }
  }
}

void CheckSensor(const SoakPlan& plan, const SoakScene& scene, const SoakOutcome& outcome,
                 std::vector<std::string>& problems) {
  if (!outcome.sensorRead) {
    problems.push_back("the sensor's memory could not be read back");
    return;
  }
  const bool writes =
      plan.command == SoakCommand::kWrite || plan.command == SoakCommand::kWriteVerify;
  if (!writes) {
    if (!SameImages(scene.sensor, outcome.sensorAfter)) problems.push_back("the sensor changed");
    return;
  }
  for (const SensorItem& item : scene.items) {
    const std::string name = ItemPath(kSoakBaseName, item);
    const auto file = scene.files.find(name);
    const bool asFile = file != scene.files.end() && Held(outcome, item) == file->second;
    const bool asBefore = Held(outcome, item) == ItemFileBytes(scene.sensor, item);
    if (outcome.status == 0 && file != scene.files.end() && !asFile) {
      problems.push_back("the sensor differs from " + name + " after a finished WRITE");
    }
    if (outcome.status == 0 && file == scene.files.end() && !asBefore) {
      problems.push_back("a skipped item changed in the sensor: " + name);
    }
  }
  if (outcome.compareStatus > 0) {
    problems.push_back("the comparison after the WRITE failed: " + outcome.compareErr);
  }
}

void CheckMessage(const SoakScene& scene, const SoakOutcome& outcome,
                  std::vector<std::string>& problems) {
  if (scene.expectedMessage == 0) return;
  const std::string& text = LoadMessage(scene.expectedMessage);
  const std::string prefix = outcome.status == 3 ? "Warning: " : "Error: ";
  if (!Mentions(outcome.err, prefix + text)) {
    problems.push_back("the output does not name the cause (message " +
                       std::to_string(scene.expectedMessage) + ")");
  }
}

// A line that hung up is named with its device under the failure.
void CheckHangUpNamed(const SoakPlan& plan, const SoakOutcome& outcome,
                      std::vector<std::string>& problems) {
  if (plan.fault.kind != SoakFaultKind::kHangUp) return;
  if (!Mentions(outcome.err, outcome.sensorDevice + ": the device went away (")) {
    problems.push_back("the hang-up's detail line does not name " + outcome.sensorDevice);
  }
}

}  // namespace

bool WantsComparison(const SoakPlan& plan, const SoakScene& scene, const SoakOutcome& outcome) {
  const bool writes =
      plan.command == SoakCommand::kWrite || plan.command == SoakCommand::kWriteVerify;
  return writes && outcome.status == 0 && !scene.items.empty() && AllSourcesThere(scene);
}

std::vector<std::string> CheckPromise(const SoakPlan& plan, const SoakScene& scene,
                                      const SoakOutcome& outcome) {
  std::vector<std::string> problems;
  if (outcome.overran) problems.push_back("still running at its hard limit: killed");
  if (outcome.signal != 0) problems.push_back("ended by signal " + std::to_string(outcome.signal));
  if (outcome.wall > outcome.allowed) {
    problems.push_back("took " + std::to_string(outcome.wall.count() / 1000000) + " ms, allowed " +
                       std::to_string(outcome.allowed.count() / 1000000) + " ms");
  }
  for (const char* report : {"Sanitizer", "runtime error:"}) {
    if (Mentions(outcome.err, report)) problems.push_back("a sanitizer report");
  }
  if (!outcome.simClean) problems.push_back("zema-sim did not end cleanly: " + outcome.simLog);
  if (outcome.signal == 0 && outcome.status != scene.expectedStatus) {
    problems.push_back("exit status " + std::to_string(outcome.status) + ", expected " +
                       std::to_string(scene.expectedStatus));
  }
  if (outcome.status == 0 && Mentions(outcome.err, "Error: ")) {
    problems.push_back("an error reported with exit status 0");
  }
  CheckMessage(scene, outcome, problems);
  CheckHangUpNamed(plan, outcome, problems);
  CheckFolder(plan, scene, outcome, problems);
  CheckSensor(plan, scene, outcome, problems);
  return problems;
}

}  // namespace zema::bench
