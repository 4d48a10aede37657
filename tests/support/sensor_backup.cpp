#include "tests/support/sensor_backup.h"

#include <gtest/gtest.h>

#include "backup/backup_store.h"
#include "link/line_mode.h"
#include "link/serial_port.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "transfer/transfer_run.h"

CopySelection WholeSensor() {
  CopySelection copy;
  copy.params = copy.common = copy.compensation = copy.patterns = true;
  return copy;
}

std::string MakeSensorBackup(int port, const std::string& root, const std::string& sensor,
                             const CopySelection& copy) {
  PendingBackup pending;
  std::string error;
  EXPECT_TRUE(pending.Begin(root, sensor, error)) << error;
  Manifest manifest;
  manifest.program = "zema-tests";
  manifest.sensor = sensor;
  manifest.place = {SensorPlace::Kind::Port, port, {}};
  manifest.copied = copy;
  manifest.started = LocalIsoTime(WallClock::now());
  const TransferTarget target = TargetOfCopy(copy, pending.basePath(), kDirectionRead);
  RecordingRunView view;
  ScriptedOperator dialogs;
  SensorLink link = OpenMenuLink(port);
  TransferRun run{target, link, view, dialogs};
  const RunEnd end = RunTransfer(run);
  link.Close();
  EXPECT_EQ(end, RunEnd::Finished);
  manifest.ended = LocalIsoTime(WallClock::now());
  std::string published;
  EXPECT_TRUE(pending.Publish(manifest, WallClock::now(), published, error)) << error;
  return published;
}
