// The virtual sensor's state file and its journal: memory survives a
// restart, a damaged file is refused, a writer killed at any moment leaves a
// good file, and a store that was answered survives a kill at any moment.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "link/packet.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/demo_content.h"
#include "sim/state_encoding.h"
#include "sim/state_file.h"
#include "sim/state_journal.h"
#include "sim/state_keeper.h"
#include "support/file_bytes.h"
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

// A sensor process stores items as fast as it can and reports each one after
// it was handed over, as the sensor answers its command: killed at any
// moment (in the middle of a background save, most likely), whatever it
// reported is kept, and every item is kept whole or not at all.
TEST_F(SimStateFileTest, AnsweredStoresSurviveAKillAtAnyMoment) {
  const auto valueOf = [](const SensorMemory& memory, int set) {
    const auto& words = memory.params[static_cast<std::size_t>(set)];
    return static_cast<std::uint32_t>(words[0]) | static_cast<std::uint32_t>(words[1]) << 16;
  };
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    fs::remove(path);
    fs::remove(JournalPath(path));
    int answers[2];
    ASSERT_EQ(::pipe(answers), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(answers[0]);
      // Saving without pause: a kill most likely hits a save.
      StateKeeper keeper(path, nullptr, std::chrono::milliseconds(0));
      SensorMemory memory = DemoMemory();
      for (auto& bank : memory.patterns) std::fill(bank[0].begin(), bank[0].end(), 0xEE);
      std::string error;
      if (!keeper.Open(memory, error)) ::_exit(3);
      for (std::uint32_t i = 1;; ++i) {
        const int set = static_cast<int>(i % kParamSetCount);
        memory.params[static_cast<std::size_t>(set)][0] = static_cast<std::uint16_t>(i);
        memory.params[static_cast<std::size_t>(set)][1] = static_cast<std::uint16_t>(i >> 16);
        keeper.Stored(StoredParamSet(memory, set));
        if (i % 8 == 0) {  // now and then a whole image
          const int bank = static_cast<int>(i / 8 % kBankCount);
          const auto slot = *ImageForSelector(PatternSelector(bank, 0));
          auto image = memory.FlashImage(slot);
          std::fill(image.begin(), image.end(), static_cast<std::uint8_t>(i / 8));
          keeper.Stored(StoredImage(memory, slot));
        }
        if (::write(answers[1], &i, sizeof i) != sizeof i) ::_exit(4);
      }
    }
    ::close(answers[1]);
    std::uint32_t answered = 0;
    // Reads what was answered so far; false when the child is gone.
    const auto readAnswers = [&](int waitMs) {
      pollfd p{answers[0], POLLIN, 0};
      std::uint32_t batch[1024];
      while (::poll(&p, 1, waitMs) > 0) {
        const ssize_t n = ::read(answers[0], batch, sizeof batch);
        if (n <= 0) return false;
        answered = batch[static_cast<std::size_t>(n) / sizeof batch[0] - 1];
        if (waitMs > 0) break;
      }
      return true;
    };
    while (answered == 0 && readAnswers(10000)) {
    }
    ASSERT_GT(answered, 0u) << "the storing process ended early";
    const auto killAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(5 + round * 17);
    while (std::chrono::steady_clock::now() < killAt) readAnswers(1);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    readAnswers(0);  // answered before it died
    ::close(answers[0]);

    SensorMemory kept;
    std::string error;
    ASSERT_EQ(LoadState(path, kept, error), StateLoadResult::kLoaded) << error;
    for (int set = 0; set < kParamSetCount; ++set) {
      // The last answered store of this set, or a later one.
      const std::uint32_t lastOfSet =
          answered - (answered + kParamSetCount - static_cast<std::uint32_t>(set)) % kParamSetCount;
      if (lastOfSet == 0 || lastOfSet > answered) continue;
      EXPECT_GE(valueOf(kept, set), lastOfSet) << "set " << set << " of " << answered;
    }
    for (const auto& bank : kept.patterns) {
      EXPECT_TRUE(std::all_of(bank[0].begin(), bank[0].end(),
                              [&](std::uint8_t b) { return b == bank[0][0]; }));
    }
  }
}

// Which journal records loading applies: those of its own file, newer than
// the file, complete and intact.
TEST_F(SimStateFileTest, JournalIsAppliedOnlyWhereItBelongs) {
  using namespace state_encoding;
  std::string error;
  SensorMemory memory = Marked(1);
  ASSERT_TRUE(SaveState(path, memory, error)) << error;
  StateVersion version;
  ASSERT_EQ(LoadState(path, memory, error, &version), StateLoadResult::kLoaded) << error;
  const auto state = ReadFileBytes(path);
  std::string journal;
  {
    StateJournal writer(JournalPath(path));
    ASSERT_TRUE(writer.Open(error)) << error;
    memory.params[4][0] = 4444;
    ASSERT_TRUE(writer.Append({version.lineage, 1}, StoredParamSet(memory, 4), error)) << error;
    memory.params[5][0] = 5555;
    ASSERT_TRUE(writer.Append({version.lineage, 2}, StoredParamSet(memory, 5), error)) << error;
  }
  journal = ReadFileBytes(JournalPath(path));
  // The same memory in the first format, which had no journal.
  std::vector<std::uint8_t> first = {'Z', 'E', 'M', 'A', 'S', 'I', 'M', '1'};
  const auto body = StateBody(Marked(1));
  PutU32(first, static_cast<std::uint32_t>(body.size()));
  first.insert(first.end(), body.begin(), body.end());
  PutU32(first, Fingerprint(first));

  const std::uint16_t demo4 = DemoParamValue(4, 0);
  const std::uint16_t demo5 = DemoParamValue(5, 0);
  struct Case {
    const char* what;
    std::function<void()> change;
    StateLoadResult result;
    std::uint16_t set4, set5;
  };
  const Case cases[] = {
      {"whole journal", [] {}, StateLoadResult::kLoaded, 4444, 5555},
      {"last record cut short", [&] { fs::resize_file(JournalPath(path), journal.size() - 3); },
       StateLoadResult::kLoaded, 4444, demo5},
      {"a record altered",
       [&] {
         std::string bad = journal;
         bad[40] ^= 0x01;
         WriteFileBytes(JournalPath(path), bad);
       },
       StateLoadResult::kDamaged, 1, 1},
      {"the state file replaced since", [&] { ASSERT_TRUE(SaveState(path, Marked(1), error)); },
       StateLoadResult::kLoaded, demo4, demo5},
      {"a state file of the first format",
       [&] { WriteFileBytes(path, std::string(first.begin(), first.end())); },
       StateLoadResult::kLoaded, demo4, demo5},
      {"no state file", [&] { fs::remove(path); }, StateLoadResult::kMissing, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(path, state);
    WriteFileBytes(JournalPath(path), journal);
    c.change();
    SensorMemory loaded = DemoMemory();
    loaded.params[4][0] = loaded.params[5][0] = 1;  // untouched unless loaded
    error.clear();
    EXPECT_EQ(LoadState(path, loaded, error), c.result) << error;
    EXPECT_EQ(loaded.params[4][0], c.set4);
    EXPECT_EQ(loaded.params[5][0], c.set5);
    if (c.result == StateLoadResult::kDamaged) {
      EXPECT_NE(error.find(JournalPath(path)), std::string::npos) << error;
    }
    if (c.result == StateLoadResult::kLoaded) {
      EXPECT_EQ(loaded.params[15][31], 1);  // the state file's own content
    }
  }
}

// A kill in the middle of an append leaves part of a record; a sensor that
// then cannot write its state file appends behind it, and all it stored
// must still load.
TEST_F(SimStateFileTest, UnfinishedRecordDoesNotSpoilLaterOnes) {
  std::string error;
  SensorMemory memory = Marked(1);
  {
    StateKeeper keeper(path, nullptr);
    ASSERT_TRUE(keeper.Open(memory, error)) << error;
  }
  StateVersion version;
  ASSERT_EQ(LoadState(path, memory, error, &version), StateLoadResult::kLoaded) << error;
  {
    StateJournal writer(JournalPath(path));
    ASSERT_TRUE(writer.Open(error)) << error;
    memory.params[4][0] = 4444;
    ASSERT_TRUE(writer.Append({version.lineage, 1}, StoredParamSet(memory, 4), error)) << error;
    memory.params[5][0] = 5555;
    ASSERT_TRUE(writer.Append({version.lineage, 2}, StoredParamSet(memory, 5), error)) << error;
  }
  fs::resize_file(JournalPath(path), fs::file_size(JournalPath(path)) - 10);
  // A folder in the way of the temporary file: no state file can be written.
  const std::string blocker = path + ".tmp." + std::to_string(::getpid());
  fs::create_directory(blocker);
  {
    StateKeeper keeper(path, nullptr);
    SensorMemory running = DemoMemory();
    ASSERT_TRUE(keeper.Open(running, error)) << error;
    EXPECT_EQ(running.params[4][0], 4444);
    running.params[6][0] = 6666;
    keeper.Stored(StoredParamSet(running, 6));
  }
  fs::remove(blocker);
  SensorMemory loaded;
  ASSERT_EQ(LoadState(path, loaded, error), StateLoadResult::kLoaded) << error;
  EXPECT_EQ(loaded.params[4][0], 4444);
  EXPECT_EQ(loaded.params[5][0], DemoParamValue(5, 0));  // never answered
  EXPECT_EQ(loaded.params[6][0], 6666);
}

// Through the link layer: what the loader stored is there after a restart.
TEST_F(SimStateFileTest, SensorMemorySurvivesARestart) {
  SimFixture::Options options;
  options.stateFile = path;
  {
    SimFixture sim(options);
    Result<SensorLink> opened = SensorLink::OpenCom(sim.port());
    ASSERT_TRUE(opened.ok());
    SensorLink& link = opened.value;
    ComSetMode(sim.port(), kLineMode57600NoParity);
    link.xfer.fill(0);
    link.xfer[0] = 9;
    link.xfer[1] = 0xCD;
    link.xfer[2] = 0xAB;
    EXPECT_TRUE(link.Exchange(kCmdWriteParamSet).ok()) << link.lastError.text;
    link.Close();
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
