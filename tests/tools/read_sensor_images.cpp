// Reads the compensation table and the pattern images of every bank out of
// a fresh virtual sensor into bitmap files, through the same run the dialog
// uses, for the test script that opens them with an independent reader.
//
//   read_sensor_images <base name>
#include <iostream>
#include <string>

#include "link/line_mode.h"
#include "link/sensor_link.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "sim/virtual_sensor.h"
#include "support/com_port_claim.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/recording_run_view.h"
#include "transfer/transfer_run.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: read_sensor_images <base name>\n";
    return 2;
  }
  SetLanguage(Language::English);
  zema::sim::VirtualSensor sensor(zema::sim::SensorSettings{}, zema::sim::DemoMemory());
  std::string error;
  if (!sensor.Start(error)) {
    std::cerr << "virtual sensor did not start: " << error << "\n";
    return 1;
  }
  RunEnd end = RunEnd::Failed;
  RecordingRunView view;
  ScriptedOperator dialogs;
  {
    ComPortClaim claim(sensor.devicePath());
    Result<SensorLink> opened = SensorLink::OpenCom(claim.port());
    SensorLink& link = opened.value;
    if (opened.ok() && link.Port().SetLineMode(kLineMode57600NoParity)) {
      TransferTarget target;
      target.brightComp = 1;
      target.patterns = 1;
      target.startBank = 0;
      target.endBank = kBankCount - 1;
      target.baseName = argv[1];
      TransferRun run{target, link, view, dialogs};
      end = RunTransfer(run);
    }
    link.Close();
  }
  sensor.Stop();
  std::cout << view.LastStepLine() << "\n";
  for (const auto& box : dialogs.boxes) std::cerr << box.text << "\n";
  return end == RunEnd::Finished ? 0 : 1;
}
