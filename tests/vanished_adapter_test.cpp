// A USB adapter pulled out in the middle of a run: the line hangs up during
// a pattern READ, and during a WRITE before and during a flash commit. The
// run ends at once with a link message and, under it, the device that went
// away, neither waiting out a time-out (30 s for the commit) nor spinning on
// the dead line, and the port is closed, so that it opens again when the
// adapter comes back.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "console/connection_control.h"
#include "link/failure.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;
using zema::sim::CommandFault;
using zema::sim::FaultKind;
using Clock = std::chrono::steady_clock;

namespace {

// A dead line is noticed at once: well before the shortest reply time-out
// (1 s), so a run that waited one out instead would fail this.
constexpr double kAtOnceSeconds = 0.8;
// What a process may use of the CPU from the moment the line went away
// until it has ended: a spinning process would use all of that time.
constexpr double kIdleCpuSeconds = 0.3;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class VanishedAdapterTest : public ::testing::Test {
 protected:
  std::vector<std::string> With(std::vector<std::string> arguments) {
    arguments.insert(arguments.end(), {"--base", (dir / "line1").string(), "--port",
                                       std::to_string(sim.port())});
    return arguments;
  }

  SimFixture sim;
  TempFolder dir{"zema-vanished-adapter"};
};

TEST_F(VanishedAdapterTest, TheRunEndsAtOnceAndThePortOpensAgainOnItsReturn) {
  ASSERT_EQ(RunProgram("zema-transfer", With({"read", "--patterns", "--banks", "4"})).status, 0);
  const auto before = FolderContents(dir);

  struct Case {
    const char* name;
    const char* command;
    int code;  // the line goes with the nth command of this code
    int nth;
    bool duringCommit;  // gone while the sensor writes its flash, not at the command
  };
  const Case cases[] = {
      {"InAPatternRead", "read", 0x83, 300, false},
      {"InAWriteBeforeTheCommit", "write", 0x84, 300, false},
      {"InAWriteDuringTheCommit", "write", 0x86, 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim.Replug();  // a sensor that counts its commands from now
    ProgramRun program;
    std::mutex mutex;
    std::condition_variable reached;
    bool atCommand = false;
    Clock::time_point gone;
    double cpuWhenGone = 0;
    const auto noteGone = [&] {
      gone = Clock::now();
      cpuWhenGone = program.CpuSecondsSoFar();
    };
    int seen = 0;
    sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
      if (frame[0] != c.code || ++seen != c.nth) return;
      std::lock_guard lock(mutex);
      if (!c.duringCommit) noteGone();  // the sensor hangs up right after this
      atCommand = true;
      reached.notify_all();
    });
    if (c.duringCommit) {
      sim.SetFlashDelay(20000);
    } else {
      sim.SetFaults({{CommandFault{FaultKind::kHangUp, c.nth, c.code}}, {}});
    }
    const std::string device = sim.devicePath();
    std::vector<std::string> arguments = {c.command, "--patterns", "--banks", "4"};
    if (std::string(c.command) == "read") arguments.push_back("--overwrite");
    program.Start("zema-transfer", With(arguments));
    if (c.duringCommit) {
      std::unique_lock lock(mutex);
      ASSERT_TRUE(reached.wait_for(lock, std::chrono::seconds(60), [&] { return atCommand; }));
      std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the flash is being written
      noteGone();
      sim.Unplug();
    }
    const ProgramOutcome outcome = program.Wait();
    sim.SetCommandHook(nullptr);
    std::lock_guard lock(mutex);
    ASSERT_TRUE(atCommand);
    const double seconds = std::chrono::duration<double>(outcome.ended - gone).count();
    const double cpu = outcome.cpuSeconds - cpuWhenGone;
    std::cout << "[ figures  ] line gone " << c.name << ": ended after " << seconds
              << " s, using " << cpu << " s of CPU\n";
    EXPECT_EQ(outcome.status, 1) << outcome.err;
    // Under the text: the COM number's link, the device it named, and why.
    EXPECT_NE(outcome.err.find("Error: " + LoadMessage(kMsgNoResponse) + "\n  "),
              std::string::npos);
    EXPECT_NE(outcome.err.find(" -> " + device + ": the device went away ("), std::string::npos);
    EXPECT_LT(seconds, kAtOnceSeconds);
    EXPECT_LT(cpu, kIdleCpuSeconds);
    EXPECT_EQ(FolderContents(dir), before) << "the older file stays, nothing else is left";

    sim.Replug();
    const ProgramOutcome again = RunProgram("zema-transfer", With({"read", "--common"}));
    EXPECT_EQ(again.status, 0) << again.err;
    fs::remove(dir / "line1.prM.zema");
  }
}

// The dialog's sequences in one process, where a port left open would stay
// in use: the run ends at once, RUN closes the port on the dead line without
// waiting, and CONNECT opens it again once the adapter is back.
TEST_F(VanishedAdapterTest, TheDialogClosesThePortAndConnectsAgainOnItsReturn) {
  ScriptedOperator dialogs;
  ConnectionOutcome connected = ConnectSensor(sim.port() - 1, false, 0, dialogs);
  ASSERT_TRUE(connected.done());
  SensorLink& link = connected.link;
  sim.AddFault(CommandFault{FaultKind::kHangUp, 100, 0x83});
  const TransferTarget target{kDirectionRead, 0, 0, 0, 1, 2, 2, (dir / "line1").string()};
  RecordingRunView view;
  TransferRun run{target, link, view, dialogs};
  const auto started = Clock::now();
  EXPECT_EQ(RunTransfer(run), RunEnd::Failed);
  ASSERT_EQ(dialogs.boxes.size(), 1u);
  EXPECT_EQ(dialogs.boxes[0].text, LoadMessage(kMsgNoResponse));
  EXPECT_NE(dialogs.boxes[0].detail.find(sim.devicePath() + ": the device went away ("),
            std::string::npos)
      << dialogs.boxes[0].detail;
  const std::optional<Failure> resumed = ResumeSensor(link);
  EXPECT_LT(SecondsSince(started), 2 * kAtOnceSeconds);
  ASSERT_TRUE(resumed);
  EXPECT_EQ(resumed->text, LoadMessage(kMsgNoResponse));
  EXPECT_EQ(resumed->detail, dialogs.boxes[0].detail);
  EXPECT_TRUE(ComIsUnusable(sim.port()));
  EXPECT_TRUE(fs::is_empty(dir.path()));

  sim.Replug();
  connected = ConnectSensor(sim.port() - 1, false, 0, dialogs);
  EXPECT_TRUE(connected.done()) << connected.failure.value_or(Failure{}).text;
  EXPECT_FALSE(ResumeSensor(connected.link));
}

}  // namespace
