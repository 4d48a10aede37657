// One sensor of the inventory backed up: connect as CONNECT does, READ its
// selection into a hidden folder, give it its dated name, compare it with
// the sensor's previous backup and keep the newest. Runs on a worker thread
// of its own, beside the other sensors' runs; it shares nothing with them
// but the serial driver's port table (which guards itself) and the status
// it reports, whose fields are atomic for the thread that draws them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/backup_diff.h"
#include "backup/inventory.h"

namespace zema {

enum class SensorBackupState { Waiting, Connecting, Reading, Saving, Done, Failed, Stopped };

// "waiting", "connecting", "reading", "saving", "backed up", "failed", "stopped".
const char* StateName(SensorBackupState state);

struct SensorBackupStatus {
  std::atomic<SensorBackupState> state{SensorBackupState::Waiting};
  std::atomic<std::uint64_t> moved{0};  // bytes on the line, estimated from the run's steps
  std::atomic<std::uint64_t> total{0};
};

struct SensorBackupReport {
  std::string sensor;
  std::string place;   // "port = 3", ...
  bool good = false;   // a whole backup was published and the sensor left as found
  std::string folder;  // the published dated folder, when there is one
  std::string started;
  std::string ended;
  std::string error;                 // why not good
  bool compared = false;             // there was a previous good backup to compare with
  BackupDiff diff;                   // when compared
  std::string summary;               // "unchanged since ...", "changed since ...", "first backup"
  std::vector<std::string> removed;  // older backups --keep removed
  std::vector<std::string> notes;    // old ones left, and why
};

struct SensorBackupJob {
  const InventorySensor* sensor = nullptr;
  std::string root;     // the --into folder
  std::string program;  // "zema-transfer 1.0", for the manifest
  int keep = 0;         // 0: keep every backup
};

SensorBackupReport BackupSensor(const SensorBackupJob& job, SensorBackupStatus& status);

}  // namespace zema
