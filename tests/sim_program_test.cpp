// The zema-sim program as a user starts it: its help, its command line, and
// a run with --link that the link layer reaches and SIGTERM ends cleanly.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "link/packet.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "sim/device_link.h"
#include "sim/program_options.h"
#include "sim/state_file.h"
#include "support/child_output.h"
#include "support/com_port_claim.h"
#include "support/subprocess.h"

using namespace zema::sim;
namespace fs = std::filesystem;

namespace {

// The program is built beside the test executable (build/bin).
std::string ProgramPath() { return ExecutableFolder() + "/zema-sim"; }

// Starts the program with its standard output in a pipe.
std::unique_ptr<Subprocess> Spawn(const std::vector<std::string>& arguments) {
  auto child = std::make_unique<Subprocess>();
  ChildCommand command;
  command.argv = {ProgramPath()};
  command.argv.insert(command.argv.end(), arguments.begin(), arguments.end());
  command.out = ChildStream::kPipe;
  command.err = ChildStream::kNull;
  std::string error;
  EXPECT_TRUE(child->Start(command, error)) << error;
  return child;
}

// The child's output until it ends (or `lineOnly` and a line is in).
std::string ReadOutput(const Subprocess& child, bool lineOnly) {
  LineReader reader(child.outFd());
  std::string text, line;
  while (reader.Next(line, 10000)) {
    text += line + "\n";
    if (lineOnly) break;
  }
  return text;
}

int WaitExit(Subprocess& child) { return child.Wait().status; }

TEST(SimProgramTest, HelpSaysHowToUseItWithTheLoader) {
  ASSERT_TRUE(fs::exists(ProgramPath())) << ProgramPath();
  const auto child = Spawn({"--help"});
  const std::string help = ReadOutput(*child, false);
  EXPECT_EQ(WaitExit(*child), 0);
  for (const char* needle : {"--link", "dosdevices/com1", "zema-loader", "COM1", "--fault",
                             "--state", "--mode", "--communic", "--no-pace"}) {
    EXPECT_NE(help.find(needle), std::string::npos) << needle;
  }
}

TEST(SimProgramTest, BadOptionsEndWithStatus2) {
  const auto child = Spawn({"--communic", "9", "--mode", "command"});
  ReadOutput(*child, false);
  EXPECT_EQ(WaitExit(*child), 2);
}

TEST(SimProgramTest, RunsUnderALinkAndEndsCleanlyOnSigterm) {
  const fs::path folder = fs::temp_directory_path() /
                          ("zema-sim-program-" + std::to_string(::getpid())) / "dosdevices";
  fs::remove_all(folder.parent_path());
  const std::string link = (folder / "com7").string();
  const auto child = Spawn({"--link", link, "--no-pace", "--mode", "command", "--communic", "2"});
  const std::string device = ReadOutput(*child, true);
  ASSERT_FALSE(device.empty());
  EXPECT_EQ(fs::read_symlink(link).string() + "\n", device);

  {
    ComPortClaim claim(fs::read_symlink(link).string());
    Result<SensorLink> opened = SensorLink::OpenCom(claim.port());
    ASSERT_TRUE(opened.ok());
    SensorLink& sensor = opened.value;
    ComSetMode(claim.port(), 0x107);
    EXPECT_FALSE(sensor.EnterPcMode()) << sensor.lastError.text;
    EXPECT_TRUE(sensor.Exchange(kCmdConfirm).ok()) << sensor.lastError.text;
    sensor.Close();
  }
  child->Signal(SIGTERM);
  EXPECT_EQ(WaitExit(*child), 0);
  EXPECT_FALSE(fs::is_symlink(link));
  fs::remove_all(folder.parent_path());
}

TEST(SimProgramTest, KilledSimulatorLeavesWhatItHadStored) {
  const fs::path folder =
      fs::temp_directory_path() / ("zema-sim-killed-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string state = (folder / "sensor.state").string();
  const std::string link = (folder / "com1").string();
  const auto child = Spawn({"--link", link, "--no-pace", "--state", state});
  ASSERT_FALSE(ReadOutput(*child, true).empty());
  {
    ComPortClaim claim(fs::read_symlink(link).string());
    Result<SensorLink> opened = SensorLink::OpenCom(claim.port());
    ASSERT_TRUE(opened.ok());
    SensorLink& sensor = opened.value;
    ComSetMode(claim.port(), kLineMode57600NoParity);
    sensor.xfer.fill(0);
    sensor.xfer[0] = 12;
    sensor.xfer[1] = 0x21;
    sensor.xfer[2] = 0x43;
    EXPECT_TRUE(sensor.Exchange(kCmdWriteParamSet).ok()) << sensor.lastError.text;
    sensor.Close();
  }
  child->Signal(SIGKILL);
  child->Wait();

  SensorMemory memory;
  std::string error;
  ASSERT_EQ(LoadState(state, memory, error), StateLoadResult::kLoaded) << error;
  EXPECT_EQ(memory.params[12][0], 0x4321);
  fs::remove_all(folder);
}

TEST(SimProgramTest, CommandLineIsRead) {
  ProgramOptions options;
  std::string error;
  ASSERT_EQ(ParseProgramOptions({"--mode", "command", "--communic=3", "--link", "x/com2",
                                 "--state", "s.bin", "--no-pace", "--flash-delay", "0",
                                 "--fault", "nth=2:kind=no-reply", "--fault", "handshake=nak",
                                 "--trace"},
                                options, error),
            ParseOutcome::kRun)
      << error;
  EXPECT_EQ(options.sensor.mode, ConnectionMode::kCommand);
  EXPECT_EQ(options.sensor.communic, 3);
  EXPECT_EQ(options.linkPath, "x/com2");
  EXPECT_EQ(options.sensor.stateFile, "s.bin");
  EXPECT_FALSE(options.sensor.pacing);
  EXPECT_EQ(options.sensor.flashDelayMs, 0);
  EXPECT_EQ(options.faults.commands.size(), 1u);
  EXPECT_EQ(options.faults.handshake, HandshakeFault::kNak);
  EXPECT_TRUE(options.trace);

  ProgramOptions defaults;
  ASSERT_EQ(ParseProgramOptions({}, defaults, error), ParseOutcome::kRun);
  EXPECT_EQ(defaults.sensor.mode, ConnectionMode::kMenu);
  EXPECT_TRUE(defaults.sensor.pacing);
  EXPECT_EQ(defaults.sensor.flashDelayMs, 2000);
}

TEST(SimProgramTest, CommandLineMistakesAreRefused) {
  const std::vector<std::vector<std::string>> mistakes = {
      {"--mode"},          {"--mode", "fast"},         {"--communic", "0"},
      {"--mode", "command", "--communic", "6"},        {"--communic", "2"},
      {"--flash-delay", "-5"}, {"--flash-delay", "2s"}, {"--fault", "kind=nope"},
      {"--link", ""},      {"--frobnicate"},           {"--trace=yes"},
  };
  for (const auto& arguments : mistakes) {
    SCOPED_TRACE(arguments[0] + (arguments.size() > 1 ? " " + arguments[1] : ""));
    ProgramOptions options;
    std::string error;
    EXPECT_EQ(ParseProgramOptions(arguments, options, error), ParseOutcome::kError);
    EXPECT_FALSE(error.empty());
  }
}

TEST(SimProgramTest, LinkNamesTheComPortTheLoaderSees) {
  EXPECT_EQ(ComNameForLink("build/bin/dosdevices/com1"), "COM1");
  EXPECT_EQ(ComNameForLink("/home/u/.config/zema-loader/dosdevices/com256"), "COM256");
  EXPECT_EQ(ComNameForLink("dosdevices/com257"), "");
  EXPECT_EQ(ComNameForLink("dosdevices/com01"), "");
  EXPECT_EQ(ComNameForLink("/tmp/com1"), "");
  EXPECT_EQ(ComNameForLink("dosdevices/COM1"), "");
}

TEST(SimProgramTest, LinkReplacesAStaleLinkButNoOtherFile) {
  const fs::path folder = fs::temp_directory_path() / ("zema-sim-link-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  const std::string path = (folder / "dosdevices" / "com3").string();
  std::string error;
  {
    DeviceLink link;
    ASSERT_TRUE(link.Create(path, "/dev/pts/old", error)) << error;
    DeviceLink newer;
    ASSERT_TRUE(newer.Create(path, "/dev/pts/new", error)) << error;
    EXPECT_EQ(fs::read_symlink(path), "/dev/pts/new");
    link.Remove();  // the name is no longer its own: left alone
    EXPECT_EQ(fs::read_symlink(path), "/dev/pts/new");
  }
  EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
  std::ofstream(path) << "a file";
  DeviceLink refused;
  EXPECT_FALSE(refused.Create(path, "/dev/pts/x", error));
  EXPECT_TRUE(fs::is_regular_file(path));
  fs::remove_all(folder);
}

}  // namespace
