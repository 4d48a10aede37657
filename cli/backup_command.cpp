#include "cli/backup_command.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "backup/inventory.h"
#include "cli/exit_status.h"
#include "cli/sensor_backup_run.h"
#include "cli/terminal.h"

namespace zema {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
constexpr int kBarWidth = 20;

std::string Duration(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

// The live table: a line per sensor with its state, a bar of the bytes
// its READ has moved and the time left, redrawn in place on standard error.
class LiveTable {
 public:
  LiveTable(const std::vector<InventorySensor>& sensors,
            const std::vector<std::unique_ptr<SensorBackupStatus>>& status)
      : sensors_(sensors), status_(status), readingSince_(sensors.size()) {
    for (const InventorySensor& sensor : sensors) {
      nameWidth_ = std::max(nameWidth_, static_cast<int>(sensor.name.size()));
    }
  }

  void Draw() {
    const int columns = std::max(20, TerminalColumns(stderr) - 1);
    std::string screen;
    if (drawn_) screen = "\033[" + std::to_string(sensors_.size()) + "A";
    for (std::size_t i = 0; i < sensors_.size(); ++i) {
      std::string line = Line(i);
      if (static_cast<int>(line.size()) > columns) line.resize(static_cast<std::size_t>(columns));
      screen += "\r\033[2K" + line + "\n";
    }
    std::fputs(screen.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
  }

 private:
  std::string Line(std::size_t i) {
    const SensorBackupStatus& status = *status_[i];
    const SensorBackupState state = status.state;
    const std::uint64_t total = status.total;
    const std::uint64_t moved = status.moved;
    char head[160];
    std::snprintf(head, sizeof head, "%-*s  %-10s", nameWidth_, sensors_[i].name.c_str(),
                  StateName(state));
    std::string line = head;
    if (state == SensorBackupState::Waiting || state == SensorBackupState::Connecting ||
        total == 0) {
      return line;
    }
    const auto filled = static_cast<std::size_t>(std::min(moved, total) * kBarWidth / total);
    line += "  [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
    char percent[16];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(moved * 100 / total));
    line += percent;
    if (state != SensorBackupState::Reading) return line;
    if (!readingSince_[i]) readingSince_[i] = Clock::now();
    const double seconds = std::chrono::duration<double>(Clock::now() - *readingSince_[i]).count();
    if (seconds >= 1 && moved > 0) {
      const double rate = static_cast<double>(moved) / seconds;
      line += "  " + Duration(static_cast<double>(total - std::min(moved, total)) / rate) + " left";
    }
    return line;
  }

  const std::vector<InventorySensor>& sensors_;
  const std::vector<std::unique_ptr<SensorBackupStatus>>& status_;
  std::vector<std::optional<Clock::time_point>> readingSince_;
  int nameWidth_ = 4;
  bool drawn_ = false;
};

// The plain lines of a sensor's outcome:
//   press-1: backed up into DIR/press-1/2026-12-10T020000Z; unchanged since 2026-12-09
//   press-2: failed: Communication error occurred. (...)
std::vector<std::string> ReportLines(const SensorBackupReport& report) {
  std::vector<std::string> lines;
  const std::string name = report.sensor + ": ";
  if (!report.folder.empty()) {
    lines.push_back(name + "backed up into " + report.folder + "; " + report.summary);
  }
  if (!report.good) lines.push_back(name + "failed: " + report.error);
  for (const std::string& removed : report.removed) {
    lines.push_back(name + "removed the old backup " + removed);
  }
  for (const std::string& note : report.notes) lines.push_back(name + note);
  return lines;
}

nlohmann::json ReportJson(const SensorBackupReport& report) {
  nlohmann::json sensor = {{"name", report.sensor},
                           {"place", report.place},
                           {"outcome", report.good ? "backed up" : "failed"},
                           {"started", report.started},
                           {"ended", report.ended}};
  if (!report.folder.empty()) {
    sensor["folder"] = report.folder;
    sensor["summary"] = report.summary;
  }
  if (!report.error.empty()) sensor["error"] = report.error;
  if (report.compared) sensor["changes"] = nlohmann::json::parse(DiffJson(report.diff));
  sensor["removed"] = report.removed;
  sensor["notes"] = report.notes;
  return sensor;
}

}  // namespace

int RunBackupCommand(const CliOptions& options) {
  const Inventory inventory = LoadInventory(options.inventory);
  if (!inventory.errors.empty()) {
    for (const InventoryError& error : inventory.errors) {
      std::fprintf(stderr, "%s\n", error.Text().c_str());
    }
    return kExitUsage;
  }
  const std::vector<InventorySensor>& sensors = inventory.sensors;
  std::vector<std::unique_ptr<SensorBackupStatus>> status;
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    status.push_back(std::make_unique<SensorBackupStatus>());
  }
  std::vector<SensorBackupReport> reports(sensors.size());
  std::vector<std::atomic<bool>> finished(sensors.size());

  // Sensors listed at the same place are one port: they are backed up one
  // after the other by one worker, which would otherwise find the port in
  // use by its neighbour. Each worker takes the next port not yet taken;
  // nothing else is shared between them.
  std::vector<std::vector<std::size_t>> ports;
  std::map<std::string, std::size_t> portOfPlace;
  for (std::size_t i = 0; i < sensors.size(); ++i) {
    const auto [at, added] = portOfPlace.emplace(sensors[i].place.Describe(), ports.size());
    if (added) ports.emplace_back();
    ports[at->second].push_back(i);
  }
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t p = next++; p < ports.size(); p = next++) {
      for (const std::size_t i : ports[p]) {
        const SensorBackupJob job{&sensors[i], options.into, "zema-transfer " ZEMA_VERSION,
                                  options.keep};
        reports[i] = BackupSensor(job, *status[i]);
        finished[i] = true;
      }
    }
  };
  const std::size_t jobs =
      options.jobs > 0 ? std::min<std::size_t>(static_cast<std::size_t>(options.jobs), ports.size())
                       : ports.size();
  std::vector<std::thread> workers;
  for (std::size_t i = 0; i < jobs; ++i) workers.emplace_back(work);

  const bool live = !options.json && !options.quiet && PrepareTerminal() && IsTerminal(stderr);
  LiveTable table(sensors, status);
  std::vector<bool> reported(sensors.size());
  const auto allFinished = [&] {
    return std::all_of(finished.begin(), finished.end(), [](const auto& f) { return f.load(); });
  };
  for (bool last = false; !last;) {
    last = allFinished();
    if (live) table.Draw();
    // In a pipe or a file, each sensor's lines as it finishes.
    for (std::size_t i = 0; i < sensors.size() && !live && !options.json; ++i) {
      if (reported[i] || !finished[i]) continue;
      reported[i] = true;
      for (const std::string& line : ReportLines(reports[i])) {
        if (!options.quiet || !reports[i].good) std::printf("%s\n", line.c_str());
      }
      std::fflush(stdout);
    }
    if (!last) std::this_thread::sleep_for(kRedrawEvery);
  }
  for (std::thread& worker : workers) worker.join();

  const auto good = std::count_if(reports.begin(), reports.end(),
                                  [](const SensorBackupReport& r) { return r.good; });
  if (options.json) {
    nlohmann::json all = {{"program", "zema-transfer " ZEMA_VERSION},
                          {"inventory", options.inventory},
                          {"into", options.into},
                          {"sensors", nlohmann::json::array()}};
    for (const SensorBackupReport& report : reports) all["sensors"].push_back(ReportJson(report));
    std::printf("%s\n", all.dump(2).c_str());
  } else {
    if (live) {
      for (const SensorBackupReport& report : reports) {
        for (const std::string& line : ReportLines(report)) std::printf("%s\n", line.c_str());
      }
    }
    if (!options.quiet) {
      std::printf("%zu sensor%s: %lld backed up, %lld failed\n", sensors.size(),
                  sensors.size() == 1 ? "" : "s", static_cast<long long>(good),
                  static_cast<long long>(reports.size()) - static_cast<long long>(good));
    }
  }
  return good == static_cast<long long>(reports.size()) ? kExitDone : kExitFailed;
}

}  // namespace zema
