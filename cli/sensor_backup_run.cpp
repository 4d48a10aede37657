#include "cli/sensor_backup_run.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

#include "backup/backup_store.h"
#include "backup/time_stamp.h"
#include "cli/adapter_choice.h"
#include "cli/cli_options.h"
#include "cli/port_listing.h"
#include "cli/stop_signals.h"
#include "console/connection_control.h"
#include "formats/utf8_path.h"
#include "link/failure.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "transfer/transfer_items.h"
#include "transfer/transfer_run.h"

namespace zema {

namespace {

constexpr char kStopped[] = "stopped";

// The run's progress as bytes on the line. The run tells its steps and the
// position within an image, not bytes; each item's share is what it moves
// on the line, so the estimate advances as the line does.
class CountingRunView : public RunView {
 public:
  CountingRunView(const TransferItems& items, SensorBackupStatus& status) : status_(status) {
    for (int slot = 0; slot <= kCommonSlot; ++slot) {
      if (!items.paramSlots.test(static_cast<std::size_t>(slot))) continue;
      TransferItems one;
      one.paramSlots.set(static_cast<std::size_t>(slot));
      weights_.push_back(WireBytes(one));
    }
    if (items.compensation) {
      TransferItems one;
      one.compensation = true;
      weights_.push_back(WireBytes(one));
    }
    for (int bank = 0; bank < kBankCount; ++bank) {
      if (!items.patternBanks.test(static_cast<std::size_t>(bank))) continue;
      TransferItems one;
      one.patternBanks.set(static_cast<std::size_t>(bank));
      weights_.push_back(WireBytes(one));
    }
    status_.total = WireBytes(items);
    status_.moved = 0;
  }

  void Watch(int& cancelState) { cancelState_ = &cancelState; }

  void SetStepLine(const std::string& text) override {
    TakeStopRequest();
    inPatterns_ = text == LoadMessage(kMsgReadingPatterns);
    // Each parameter set shows its step line once; the table one step.
    if (text == LoadMessage(kMsgReadingBankParams) ||
        text == LoadMessage(kMsgReadingCommonParams) ||
        text == LoadMessage(kMsgReadingCompensation)) {
      NextItem();
    }
  }
  void SetDetailLine(const std::string& text) override {
    TakeStopRequest();
    if (inPatterns_ && text.starts_with(LoadMessage(kMsgBankNo))) NextItem();
  }
  void SetProgressRange(int low, int high) override {
    low_ = low;
    high_ = std::max(low + 1, high);
  }
  void SetProgressPosition(int position) override {
    TakeStopRequest();
    fraction_ = std::clamp(static_cast<double>(position - low_) / (high_ - low_), 0.0, 1.0);
    Publish();
  }
  void ShowWindow() override { TakeStopRequest(); }
  void PumpPendingEvent() override { TakeStopRequest(); }
  void OfferOk() override {}
  void EndDialog(int /*result*/) override {}

 private:
  void NextItem() {
    if (item_ >= 0 && static_cast<std::size_t>(item_) < weights_.size()) {
      done_ += weights_[static_cast<std::size_t>(item_)];
    }
    ++item_;
    fraction_ = 0;
    Publish();
  }
  void Publish() {
    std::uint64_t moved = done_;
    if (item_ >= 0 && static_cast<std::size_t>(item_) < weights_.size()) {
      moved += static_cast<std::uint64_t>(
          fraction_ * static_cast<double>(weights_[static_cast<std::size_t>(item_)]));
    }
    status_.moved = std::min<std::uint64_t>(moved, status_.total);
  }
  // A stop signal (Ctrl-C) cancels every sensor's run as CANCEL would.
  void TakeStopRequest() {
    if (cancelState_ != nullptr && *cancelState_ == kCancelNone && StopRequested()) {
      *cancelState_ = kCancelPressed;
    }
  }

  SensorBackupStatus& status_;
  std::vector<std::uint64_t> weights_;
  int item_ = -1;
  std::uint64_t done_ = 0;
  double fraction_ = 0;
  int low_ = 0;
  int high_ = 1;
  bool inPatterns_ = false;
  int* cancelState_ = nullptr;
};

// Nobody sits in front of a nightly backup: the questions are answered as
// the inventory says, and the first error is kept for the report.
class InventoryOperator : public OperatorDialogs {
 public:
  explicit InventoryOperator(const SensorConnection& connection) : connection_(connection) {}

  using OperatorDialogs::ShowError;
  bool AskYesNo(int question, const std::string& /*text*/, const std::string& /*caption*/,
                BoxIcon /*icon*/) override {
    if (question == kMsgAgreeStopOperation) return connection_.commandMode;
    if (question == kMsgIfPcLoadSave) return connection_.assumePcMode;
    // The folder is new and the READ has every file it needs: nothing else
    // may be agreed to on the operator's behalf.
    return false;
  }
  void ShowError(const std::string& text, const std::string& detail) override {
    if (error.empty()) error = detail.empty() ? text : text + " (" + detail + ")";
  }

  std::string error;

 private:
  SensorConnection connection_;
};

std::string FailureText(const Failure& failure) {
  return failure.detail.empty() ? failure.text : failure.text + " (" + failure.detail + ")";
}

// The COM number the sensor is reached under, binding a device path (a
// URL too: the driver opens it) to a number of its own; 0 with `error`.
int PortOf(const SensorPlace& place, bool& bound, std::string& error) {
  bound = false;
  std::string device = place.text;
  switch (place.kind) {
    case SensorPlace::Kind::Port:
      return place.port;
    case SensorPlace::Kind::AdapterSerial:
      if (!FindAdapterBySerial(ListSerialPorts(), place.text, device, error)) return 0;
      break;
    case SensorPlace::Kind::Device:
    case SensorPlace::Kind::Url:
      break;
  }
  const int port = ComBindDevice(device);
  if (port == 0) {
    error = "no port number is free for " + device;
  } else {
    bound = true;
  }
  return port;
}

struct ReadOutcome {
  bool whole = false;  // every file was read
  std::string error;   // empty when the sensor was also left as it was found
};

ReadOutcome ReadSensor(const InventorySensor& sensor, const TransferTarget& target,
                       SensorBackupStatus& status) {
  bool bound = false;
  std::string error;
  const int port = PortOf(sensor.place, bound, error);
  if (port == 0) return {false, error};
  struct Unbind {
    int port;
    bool bound;
    ~Unbind() {
      if (bound) ComUnbindDevice(port);
    }
  } unbind{port, bound};

  InventoryOperator op(sensor.connection);
  status.state = SensorBackupState::Connecting;
  const int speedIndex =
      sensor.connection.commandMode ? SpeedIndexOf(std::to_string(sensor.connection.speed)) : -1;
  ConnectionOutcome connected =
      ConnectSensor(port - 1, sensor.connection.commandMode, speedIndex, op);
  if (!connected.done()) {
    if (connected.failure) return {false, FailureText(*connected.failure)};
    return {false, op.error.empty() ? std::string("the sensor was not connected") : op.error};
  }

  status.state = SensorBackupState::Reading;
  CountingRunView view(SelectedItems(target), status);
  TransferRun run{target, connected.link, view, op};
  view.Watch(run.cancelState);
  const RunEnd end = RunTransfer(run);
  ReadOutcome outcome;
  outcome.whole = end == RunEnd::Finished;
  if (end == RunEnd::Cancelled) {
    outcome.error = kStopped;
  } else if (!outcome.whole) {
    outcome.error = run.failure
                        ? FailureText(*run.failure)
                        : (op.error.empty() ? std::string("the READ did not finish") : op.error);
  }
  // A sensor that was running goes back to work whatever became of its
  // backup: a nightly backup must not leave a line stopped.
  if (sensor.connection.commandMode) {
    const std::optional<Failure> resumed = ResumeSensor(connected.link);
    if (resumed && outcome.error.empty()) {
      outcome.error =
          "read, but the sensor did not go back to normal operation: " + FailureText(*resumed);
    }
  } else {
    connected.link.Close();
  }
  return outcome;
}

void Compare(const StoredBackup& previous, const Manifest& manifest, SensorBackupReport& report) {
  std::string error;
  if (!CompareBackups(previous.path, previous.manifest, report.folder, manifest, report.folder,
                      report.diff, error)) {
    report.summary = "not compared with " + previous.name + ": " + error;
    return;
  }
  report.compared = true;
  report.summary = SummaryLine(report.diff);
  for (const std::string& problem : report.diff.problems) report.notes.push_back(problem);
}

}  // namespace

const char* StateName(SensorBackupState state) {
  switch (state) {
    case SensorBackupState::Waiting:
      return "waiting";
    case SensorBackupState::Connecting:
      return "connecting";
    case SensorBackupState::Reading:
      return "reading";
    case SensorBackupState::Saving:
      return "saving";
    case SensorBackupState::Done:
      return "backed up";
    case SensorBackupState::Stopped:
      return "stopped";
    case SensorBackupState::Failed:
      break;
  }
  return "failed";
}

SensorBackupReport BackupSensor(const SensorBackupJob& job, SensorBackupStatus& status) {
  const InventorySensor& sensor = *job.sensor;
  SensorBackupReport report;
  report.sensor = sensor.name;
  report.place = sensor.place.Describe();
  const WallClock::time_point started = WallClock::now();
  report.started = LocalIsoTime(started);
  const std::string sensorFolder = JoinPath(job.root, sensor.name);
  PendingBackup pending;
  const auto fail = [&](std::string error) {
    report.error = std::move(error);
    report.ended = LocalIsoTime(WallClock::now());
    status.state =
        report.error == kStopped ? SensorBackupState::Stopped : SensorBackupState::Failed;
    // A sensor's first backup that failed leaves no folder of it at all.
    pending.Abandon();
    std::error_code notEmpty;
    std::filesystem::remove(PathFromUtf8(sensorFolder), notEmpty);
    return report;
  };

  std::string error;
  if (!pending.Begin(job.root, sensor.name, error)) return fail(error);

  Manifest manifest;
  manifest.program = job.program;
  manifest.sensor = sensor.name;
  manifest.baseName = sensor.name;
  manifest.place = sensor.place;
  manifest.connection = sensor.connection;
  manifest.copied = sensor.copy;
  manifest.started = report.started;
  const TransferTarget target = TargetOfCopy(sensor.copy, pending.basePath(), kDirectionRead);
  const ReadOutcome read = ReadSensor(sensor, target, status);
  // A sensor read whole but not resumed still has a whole backup to keep.
  if (!read.whole) return fail(read.error);
  status.moved = status.total.load();

  status.state = SensorBackupState::Saving;
  const std::optional<StoredBackup> previous = NewestGoodBackup(sensorFolder);
  report.ended = LocalIsoTime(WallClock::now());
  manifest.ended = report.ended;
  if (!pending.Publish(manifest, started, report.folder, error)) return fail(error);
  if (previous) {
    Compare(*previous, manifest, report);
  } else {
    report.summary = "first backup";
  }
  if (job.keep > 0) {
    Retention kept = KeepNewest(sensorFolder, job.keep);
    report.removed = std::move(kept.removed);
    report.notes.insert(report.notes.end(), kept.notes.begin(), kept.notes.end());
  }
  if (!read.error.empty()) {
    report.error = read.error;
    status.state = SensorBackupState::Failed;
    return report;
  }
  report.good = true;
  status.state = SensorBackupState::Done;
  return report;
}

}  // namespace zema
