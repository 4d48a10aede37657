// zema-transfer reaching the virtual sensor through a real serial device
// server (ser2net) on the loopback, as rfc2217:// and socket://: the same
// files as a direct run, the speed of command mode set through the server,
// and the server's end read as a serial line's.
#include "support/device_server.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "res/messages.h"
#include "support/com_port_claim.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"

namespace zema {

namespace fs = std::filesystem;
using Mode = DeviceServer::Mode;
using zema::sim::ConnectionMode;
using zema::sim::SensorMemory;

namespace {

class DeviceServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (DeviceServer::ProgramPath().empty()) {
      GTEST_SKIP() << "ser2net is not installed (Debian package ser2net)";
    }
  }
  // A server in front of `sim`'s terminal (a failed test when it does not start).
  void Serve(DeviceServer& server, const SimFixture& sim, Mode mode) {
    std::string error;
    ASSERT_TRUE(server.Start(sim.devicePath(), mode, error)) << error;
  }
  std::string Base(const std::string& folder) {
    fs::create_directories(dir / folder);
    return (dir / folder / "line1").string();
  }
  TempFolder dir{"zema-device-server"};
};

TEST_F(DeviceServerTest, ReadAndWriteThroughTheServerAreByteExact) {
  SimFixture sim;
  // 0xFF is Telnet's escape: it must cross the link once, neither lost nor doubled.
  sim.EditMemory([](SensorMemory& memory) { memory.params[3].fill(0xFFFF); });
  const SensorMemory original = sim.Memory();
  const ProgramOutcome direct =
      RunProgram("zema-transfer",
                 {"read", "--all", "--base", Base("direct"), "--port", std::to_string(sim.port())});
  ASSERT_EQ(direct.status, 0) << direct.err;
  for (const Mode mode : {Mode::kRfc2217, Mode::kRaw}) {
    DeviceServer server;
    Serve(server, sim, mode);
    SCOPED_TRACE(server.url());
    const std::string name = mode == Mode::kRaw ? "raw" : "rfc2217";
    const ProgramOutcome read = RunProgram(
        "zema-transfer", {"read", "--all", "--base", Base(name), "--device", server.url()});
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(FolderContents(dir / name), FolderContents(dir / "direct"));

    sim.EditMemory([](SensorMemory& memory) { memory = SensorMemory{}; });
    const ProgramOutcome write = RunProgram(
        "zema-transfer", {"write", "--all", "--base", Base("direct"), "--device", server.url()});
    ASSERT_EQ(write.status, 0) << write.err;
    const SensorMemory written = sim.Memory();
    EXPECT_TRUE(written.params == original.params &&
                written.compensation == original.compensation &&
                written.patterns == original.patterns);
  }
}

// "ports --link N URL" makes COM number N, as the dialog names ports, reach
// the server.
TEST_F(DeviceServerTest, AComNumberLinkedToAUrlOpensTheServer) {
  SimFixture sim;
  DeviceServer server;
  Serve(server, sim, Mode::kRfc2217);
  ComPortClaim number;  // a number nobody else links meanwhile
  std::string error;
  ASSERT_TRUE(number.Claim("", error)) << error;
  const std::vector<std::string> home = {"XDG_CONFIG_HOME=" + dir.path().string()};
  const std::string com = std::to_string(number.port());
  const ProgramOutcome link =
      RunProgram("zema-transfer", {"ports", "--link", com, server.url()}, home);
  ASSERT_EQ(link.status, 0) << link.err;
  EXPECT_EQ(link.out, "COM" + com + " -> " + server.url() + ": linked (" + dir.path().string() +
                          "/zema-loader/dosdevices/com" + com + ")\n");
  const ProgramOutcome read = RunProgram(
      "zema-transfer", {"read", "--params", "--base", Base("linked"), "--port", com}, home);
  EXPECT_EQ(read.status, 0) << read.err;
}

// The handshake at each COMMUNIC speed: the sensor hears it only when the
// server set its terminal to that speed. A raw socket stays at the
// server's 57600 baud, and the failure says so.
TEST_F(DeviceServerTest, CommandModeSetsTheSpeedThroughTheServer) {
  const char* speeds[] = {"4800", "9600", "19200", "38400", "57600"};
  for (int communic = 1; communic <= 5; ++communic) {
    for (const Mode mode : {Mode::kRfc2217, Mode::kRaw}) {
      SimFixture::Options options;
      options.mode = ConnectionMode::kCommand;
      options.communic = communic;
      SimFixture sim(options);
      DeviceServer server;
      Serve(server, sim, mode);
      SCOPED_TRACE(server.url() + " at " + speeds[communic - 1]);
      const ProgramOutcome run =
          RunProgram("zema-transfer",
                     {"read", "--common", "--base", Base(std::to_string(communic)), "--overwrite",
                      "--command-mode", "--speed", speeds[communic - 1], "--device", server.url()});
      if (mode == Mode::kRfc2217 || communic == 5) {
        EXPECT_EQ(run.status, 0) << run.err;
        continue;
      }
      EXPECT_EQ(run.status, 1);
      std::cerr << "PEEK " << run.err << "\n";
      EXPECT_NE(run.err.find("Error: " + LoadMessage(kMsgNoResponse) + "\n  " + server.url() +
                             ": the port did not take " + speeds[communic - 1] +
                             " baud, so the line runs at the speed it had (socket:// cannot "
                             "change the speed"),
                std::string::npos)
          << run.err;
    }
  }
}

// The server loses power, or stalls, in the middle of a pattern READ: the
// message of a line that went away or went silent, the server named, no file.
TEST_F(DeviceServerTest, TheServerGoingAwayEndsTheRunAsOnASerialLine) {
  for (const Mode mode : {Mode::kRfc2217, Mode::kRaw}) {
    for (const int signal : {SIGKILL, SIGSTOP}) {
      SimFixture sim;
      DeviceServer server;
      Serve(server, sim, mode);
      SCOPED_TRACE(server.url() + (signal == SIGKILL ? " killed" : " stopped"));
      sim.SetCommandHook([&](std::size_t number, std::span<const std::uint8_t>) {
        if (number == 200) ::kill(server.pid(), signal);
      });
      const std::string base = Base(std::to_string(server.pid()));
      const ProgramOutcome run = RunProgram(
          "zema-transfer",
          {"read", "--patterns", "--banks", "2", "--base", base, "--device", server.url()});
      sim.SetCommandHook(nullptr);
      EXPECT_EQ(run.status, 1);
      const std::string detail = signal == SIGKILL ? server.hostAndPort() +
                                                         ": the connection to the device server "
                                                         "ended (the server closed the connection)"
                                                   : server.url() + ": no reply within ";
      EXPECT_NE(run.err.find("Error: " + LoadMessage(kMsgNoResponse) + "\n  " + detail),
                std::string::npos)
          << run.err;
      EXPECT_TRUE(fs::is_empty(fs::path(base).parent_path()));
    }
  }
}

}  // namespace

}  // namespace zema
