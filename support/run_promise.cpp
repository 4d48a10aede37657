#include "support/run_promise.h"

#include <algorithm>

#include "res/messages.h"
#include "support/sensor_files.h"

namespace zema {

namespace {

using zema::sim::SensorMemory;
using Problems = std::vector<std::string>;

bool Mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool SameImages(const SensorMemory& a, const SensorMemory& b) {
  return a.params == b.params && a.compensation == b.compensation && a.patterns == b.patterns;
}

void CheckEnd(const RunPromise& promise, const RunSeen& seen, Problems& problems) {
  const ProgramOutcome& run = seen.program;
  if (run.overran) problems.push_back("still running at its hard limit: killed");
  if (run.signal != 0) problems.push_back("ended by signal " + std::to_string(run.signal));
  if (seen.waited > promise.allowed) {
    problems.push_back("took " + std::to_string(seen.waited.count() / 1000000) + " ms, allowed " +
                       std::to_string(promise.allowed.count() / 1000000) + " ms");
  }
  for (const char* report : {"Sanitizer", "runtime error:"}) {
    if (Mentions(run.err, report)) problems.push_back("a sanitizer report");
  }
  if (run.signal == 0 && run.status != promise.status) {
    problems.push_back("exit status " + std::to_string(run.status) + ", expected " +
                       std::to_string(promise.status));
  }
  if (run.status == 0 && Mentions(run.err, "Error: ")) {
    problems.push_back("an error reported with exit status 0");
  }
  if (promise.message != 0) {
    const std::string prefix = run.status == 3 ? "Warning: " : "Error: ";
    if (!Mentions(run.err, prefix + LoadMessage(promise.message))) {
      problems.push_back("the output does not name the cause (message " +
                         std::to_string(promise.message) + ")");
    }
  }
  // A line that hung up is named with its device under the failure.
  if (promise.hangUp && !Mentions(run.err, seen.sensorDevice + ": the device went away (")) {
    problems.push_back("the hang-up's detail line does not name " + seen.sensorDevice);
  }
}

void CheckFolder(const RunPromise& promise, const RunSeen& seen, Problems& problems) {
  const FolderFiles& before = promise.filesBefore;
  const FolderFiles& after = seen.filesAfter;
  const std::vector<std::string> items = ItemFilePaths(promise.items, promise.base);
  const auto isItem = [&](const std::string& name) {
    return std::find(items.begin(), items.end(), name) != items.end();
  };
  for (const auto& [name, bytes] : after) {
    if (isItem(name)) continue;
    if (!before.contains(name)) problems.push_back("a file left behind: " + name);
    if (before.contains(name) && before.at(name) != bytes) {
      problems.push_back("a file of no item changed: " + name);
    }
  }
  for (const auto& [name, bytes] : before) {
    if (!isItem(name) && !after.contains(name)) {
      problems.push_back("a file of no item gone: " + name);
    }
  }
  const FolderFiles held = seen.sensorAfter
                               ? SensorFiles(*seen.sensorAfter, promise.items, promise.base)
                               : FolderFiles{};
  for (const std::string& name : items) {
    const auto was = before.find(name);
    const auto is = after.find(name);
    const bool kept =
        was == before.end() ? is == after.end() : is != after.end() && is->second == was->second;
    if (promise.changes != RunPromise::Changes::kFiles) {
      if (!kept) problems.push_back("a source file changed: " + name);
      continue;
    }
    const bool sensorsOwn = is != after.end() && held.contains(name) && is->second == held.at(name);
    if (seen.program.status == 0 && !sensorsOwn) {
      problems.push_back(name + " differs from what the sensor holds");
    } else if (!kept && !sensorsOwn) {
      problems.push_back(name + " is neither its older self nor the sensor's");
    }
  }
}

void CheckSensor(const RunPromise& promise, const RunSeen& seen, Problems& problems) {
  if (!promise.sensorBefore) return;
  if (!seen.sensorAfter) {
    problems.push_back("the sensor's memory could not be read back");
    return;
  }
  if (promise.changes != RunPromise::Changes::kSensor) {
    if (!SameImages(*promise.sensorBefore, *seen.sensorAfter)) {
      problems.push_back("the sensor changed");
    }
    return;
  }
  if (seen.program.status != 0) return;
  const FolderFiles held = SensorFiles(*seen.sensorAfter, promise.items, promise.base);
  const FolderFiles heldBefore = SensorFiles(*promise.sensorBefore, promise.items, promise.base);
  for (const auto& [name, bytes] : held) {
    const auto file = promise.filesBefore.find(name);
    if (file != promise.filesBefore.end() && bytes != file->second) {
      problems.push_back("the sensor differs from " + name + " after a finished WRITE");
    }
    if (file == promise.filesBefore.end() && bytes != heldBefore.at(name)) {
      problems.push_back("a skipped item changed in the sensor: " + name);
    }
  }
}

}  // namespace

std::vector<std::string> BrokenPromises(const RunPromise& promise, const RunSeen& seen) {
  Problems problems;
  CheckEnd(promise, seen, problems);
  CheckFolder(promise, seen, problems);
  CheckSensor(promise, seen, problems);
  return problems;
}

}  // namespace zema
