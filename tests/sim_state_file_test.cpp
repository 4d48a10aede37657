// The virtual sensor's state file: memory survives a restart, a damaged
// file is refused, and a writer killed at any moment leaves a good file.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "sim/state_file.h"
#include "tests/support/file_bytes.h"
#include "tests/support/sim_fixture.h"

using namespace zema::sim;
namespace fs = std::filesystem;

namespace {

class SimStateFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() /
             ("zema-sim-state-" + std::to_string(::getpid()) + "-" +
              testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    path = (folder / "sensor.state").string();
  }
  void TearDown() override { fs::remove_all(folder); }

  static SensorMemory Marked(std::uint16_t mark) {
    SensorMemory memory = DemoMemory();
    memory.params[15][31] = mark;
    memory.patterns[14][1].back() = static_cast<std::uint8_t>(mark);
    return memory;
  }

  fs::path folder;
  std::string path;
};

TEST_F(SimStateFileTest, SavedMemoryLoadsBack) {
  std::string error;
  const SensorMemory saved = Marked(4711);
  ASSERT_TRUE(SaveState(path, saved, error)) << error;
  SensorMemory loaded;
  ASSERT_EQ(LoadState(path, loaded, error), StateLoadResult::kLoaded) << error;
  EXPECT_EQ(loaded.params, saved.params);
  EXPECT_EQ(loaded.compensation, saved.compensation);
  EXPECT_EQ(loaded.patterns, saved.patterns);
  // Only the temporary name's file is gone; nothing else is left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(SimStateFileTest, MissingFileLeavesMemoryAlone) {
  std::string error;
  SensorMemory memory = Marked(1);
  EXPECT_EQ(LoadState(path, memory, error), StateLoadResult::kMissing);
  EXPECT_EQ(memory.params[15][31], 1);
}

TEST_F(SimStateFileTest, DamagedFilesAreRefused) {
  std::string error;
  ASSERT_TRUE(SaveState(path, Marked(2), error)) << error;
  const auto size = fs::file_size(path);
  struct Damage {
    const char* what;
    std::function<void()> apply;
  };
  const Damage damages[] = {
      {"truncated", [&] { fs::resize_file(path, size - 100); }},
      {"one byte changed",
       [&] {
         std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
         file.seekp(5000);
         file.put('\x5A');
       }},
      {"longer", [&] { std::ofstream(path, std::ios::app | std::ios::binary) << "x"; }},
      {"something else", [&] { WriteFileBytes(path, "hello\n"); }},
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.what);
    ASSERT_TRUE(SaveState(path, Marked(2), error)) << error;
    damage.apply();
    SensorMemory memory = Marked(3);
    error.clear();
    EXPECT_EQ(LoadState(path, memory, error), StateLoadResult::kDamaged);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(memory.params[15][31], 3);  // untouched
  }
}

TEST_F(SimStateFileTest, FailedSaveKeepsTheOldFile) {
  std::string error;
  ASSERT_TRUE(SaveState(path, Marked(10), error)) << error;
  // A folder in the way of the temporary file makes the next save fail.
  fs::create_directory(path + ".tmp." + std::to_string(::getpid()));
  EXPECT_FALSE(SaveState(path, Marked(11), error));
  EXPECT_FALSE(error.empty());
  SensorMemory memory;
  ASSERT_EQ(LoadState(path, memory, error), StateLoadResult::kLoaded) << error;
  EXPECT_EQ(memory.params[15][31], 10);
}

TEST_F(SimStateFileTest, WriterKilledAtAnyMomentLeavesAGoodFile) {
  std::string error;
  ASSERT_TRUE(SaveState(path, Marked(100), error)) << error;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Saves without pause, alternating two contents, until killed.
      ::close(ready[0]);
      const SensorMemory a = Marked(200);
      const SensorMemory b = Marked(300);
      std::string childError;
      for (int i = 0;; ++i) {
        SaveState(path, i % 2 ? a : b, childError);
        if (i == 2) (void)!::write(ready[1], "x", 1);
      }
    }
    ::close(ready[1]);
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);
    ::usleep(static_cast<useconds_t>(3000 + round * 7000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    SensorMemory memory;
    ASSERT_EQ(LoadState(path, memory, error), StateLoadResult::kLoaded) << error;
    EXPECT_TRUE(memory.params[15][31] == 200 || memory.params[15][31] == 300)
        << memory.params[15][31];
  }
}

// Through the link layer: what the loader stored is there after a restart.
TEST_F(SimStateFileTest, SensorMemorySurvivesARestart) {
  SimFixture::Options options;
  options.stateFile = path;
  {
    SimFixture sim(options);
    ASSERT_EQ(ComOpen(sim.port(), 512, 512), kOpenOk);
    ComSetMode(sim.port(), kLineMode57600NoParity);
    std::memset(g_xfer, 0, sizeof g_xfer);
    g_xfer[0] = 9;
    g_xfer[1] = 0xCD;
    g_xfer[2] = 0xAB;
    EXPECT_EQ(Exchange(sim.port(), kCmdWriteParamSet), 1) << g_lastError;
    ComClose(sim.port());
    // Saved as soon as it was stored, not only at the end.
    SensorMemory onDisk;
    std::string error;
    ASSERT_EQ(LoadState(path, onDisk, error), StateLoadResult::kLoaded) << error;
    EXPECT_EQ(onDisk.params[9][0], 0xABCD);
  }
  SimFixture restarted(options);
  EXPECT_EQ(restarted.Memory().params[9][0], 0xABCD);
  EXPECT_EQ(restarted.Memory().params[9][1], 0);
  EXPECT_EQ(restarted.Memory().params[8][1], DemoParamValue(8, 1));
}

TEST_F(SimStateFileTest, DamagedStateFileStopsTheSensorFromStarting) {
  WriteFileBytes(path, "not a state file");
  SensorSettings settings;
  settings.stateFile = path;
  VirtualSensor sensor(settings, DemoMemory());
  std::string error;
  EXPECT_FALSE(sensor.Start(error));
  EXPECT_NE(error.find("damaged"), std::string::npos) << error;
  sensor.Stop();
  // The file is not overwritten with demo content.
  EXPECT_EQ(ReadFileBytes(path), "not a state file");
}

}  // namespace
