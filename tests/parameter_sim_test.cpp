// Parameter READ and WRITE runs against the virtual sensor.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "formats/parameter_file.h"
#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;

namespace {

class ParameterSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target_.baseName = (dir_ / "base").string();
    link_ = OpenMenuLink(sim_.port());
  }

  RunEnd Run(int direction) {
    target_.direction = direction;
    RecordingRunView view;
    TransferRun run{target_, link_, view, operator_};
    return RunTransfer(run);
  }
  std::string Content(const char* suffix) const {
    return ReadFileBytes(target_.baseName + suffix);
  }

  SimFixture sim_;
  SensorLink link_;
  TempFolder dir_{"zema-sim-params"};
  TransferTarget target_;
  ScriptedOperator operator_;
};

TEST_F(ParameterSimTest, ReadWritesWhatTheSensorHolds) {
  sim_.EditMemory([](zema::sim::SensorMemory& memory) { memory.params[2][0] = 0xFFFF; });
  target_.bankParams = 1;
  target_.startBank = 2;
  target_.endBank = 4;
  target_.commonParams = 1;

  ASSERT_EQ(Run(kDirectionRead), RunEnd::Finished);
  const zema::sim::SensorMemory memory = sim_.Memory();
  EXPECT_EQ(Content(".pr2.zema").substr(0, 6), "65535\n");
  EXPECT_EQ(Content(".pr2.zema"), FormatParamFile(memory.params[2]));
  EXPECT_EQ(Content(".pr3.zema"), FormatParamFile(memory.params[3]));
  EXPECT_EQ(Content(".pr4.zema"), FormatParamFile(memory.params[4]));
  EXPECT_EQ(Content(".prM.zema"), FormatParamFile(memory.params[15]));
  EXPECT_EQ(memory.params[3][5], zema::sim::DemoParamValue(3, 5));
  EXPECT_FALSE(fs::exists(target_.baseName + ".pr5.zema"));
}

TEST_F(ParameterSimTest, EveryValueRoundTripsThroughFilesAndBack) {
  target_.bankParams = 1;
  target_.startBank = 0;
  target_.endBank = 14;
  target_.commonParams = 1;
  constexpr int kValuesPerRun = 16 * kParamValuesPerSet;
  for (int first = 0; first < 65536; first += kValuesPerRun) {
    zema::sim::SensorMemory expected;
    for (int s = 0; s < 16; ++s) {
      for (int i = 0; i < kParamValuesPerSet; ++i) {
        expected.params[s][i] = static_cast<std::uint16_t>(first + s * kParamValuesPerSet + i);
      }
    }
    sim_.EditMemory([&](zema::sim::SensorMemory& memory) { memory.params = expected.params; });
    operator_.QueueAnswers({true});  // the files of the round before exist
    ASSERT_EQ(Run(kDirectionRead), RunEnd::Finished) << "from " << first;
    sim_.EditMemory([](zema::sim::SensorMemory& memory) {
      for (auto& set : memory.params) set.fill(0x5A5A);
    });
    ASSERT_EQ(Run(kDirectionWrite), RunEnd::Finished) << "from " << first;
    ASSERT_EQ(sim_.Memory().params, expected.params) << "from " << first;
  }
}

}  // namespace
