// The zema-transfer program as a script runs it, against the virtual sensor
// in this process: the built binary reaches it through the same
// dosdevices/comN link beside it (build/bin) that the loader would use.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "link/packet.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/file_bytes.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/image_file.h"
#include "transfer/transfer_run.h"

namespace fs = std::filesystem;
using zema::sim::CommandFault;
using zema::sim::FaultKind;
using zema::sim::SensorMemory;

namespace {

struct Outcome {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

std::atomic<pid_t> g_child{0};

// Runs build/bin/zema-transfer with `arguments` (and `environment` added)
// and collects what it printed until it ended.
Outcome RunProgram(const std::vector<std::string>& arguments,
                   const std::vector<std::string>& environment = {}) {
  const std::string program = ExecutableFolder() + "/zema-transfer";
  int out[2];
  int err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::dup2(err[1], STDERR_FILENO);
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    ::setenv("LANG", "C", 1);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    for (const std::string& setting : environment) ::putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  g_child = pid;
  ::close(out[1]);
  ::close(err[1]);
  Outcome outcome;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* texts[2] = {&outcome.out, &outcome.err};
  int open = 2;
  while (open > 0 && ::poll(fds, 2, 60000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[i]->append(buffer, static_cast<std::size_t>(n));
      } else {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  g_child = 0;
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

std::vector<std::string> Files(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class TransferProgramTest : public ::testing::Test {
 protected:
  std::vector<std::string> With(std::vector<std::string> arguments) {
    arguments.push_back("--port");
    arguments.push_back(std::to_string(sim.port()));
    return arguments;
  }
  int CommandsOfCode(int code) const {
    int count = 0;
    for (const auto& frame : sim.Commands()) count += frame[0] == code ? 1 : 0;
    return count;
  }
  std::string Base(const std::string& folder = "cli") {
    fs::create_directories(dir / folder);
    return (dir / folder / "line1").string();
  }

  SimFixture sim;
  TempFolder dir{"zema-transfer-program"};
};

// The whole sensor, all kinds and all banks, against the unpaced sensor:
// the files are those the dialog's run writes; written into a wiped sensor
// they give it back what was read; resume sends only its command.
TEST_F(TransferProgramTest, BacksUpAndRestoresAWholeSensorAsTheDialogDoes) {
  const auto started = std::chrono::steady_clock::now();
  const Outcome read = RunProgram(With({"read", "--all", "--base", Base()}));
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "[ figures  ] whole-sensor backup: " << seconds << " s\n";
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_NE(read.err.find("step 1654955/1654955 Reading from ZEMA is completed.\n"),
            std::string::npos)
      << read.err;
  EXPECT_EQ(read.err.find('\r'), std::string::npos);
  EXPECT_EQ(read.err.find('\033'), std::string::npos);

  // The dialog's run on the same sensor.
  fs::create_directories(dir / "dialog");
  TransferTarget target{kDirectionRead, 1, 1, 1, 1, 0, 14, (dir / "dialog" / "line1").string()};
  ASSERT_EQ(ComOpen(sim.port(), 512, 512), kOpenOk);
  ComSetMode(sim.port(), kLineMode57600NoParity);
  RecordingRunView view;
  ScriptedOperator dialogs;
  TransferRun run{target, sim.port(), view, dialogs};
  ASSERT_EQ(RunTransfer(run), RunEnd::Finished) << g_lastError;
  ComClose(sim.port());
  const std::vector<std::string> names = Files(dir / "cli");
  ASSERT_EQ(names.size(), 32u);
  ASSERT_EQ(names, Files(dir / "dialog"));
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFileBytes(dir / "cli" / name), ReadFileBytes(dir / "dialog" / name)) << name;
  }

  sim.EditMemory([](SensorMemory& memory) { memory = SensorMemory{}; });
  const Outcome write = RunProgram(With({"write", "--all", "--base", Base(), "--verify"}));
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_NE(write.err.find("Writing to ZEMA is completed."), std::string::npos);
  EXPECT_NE(write.err.find(LoadMessage(kMsgSameAsFiles)), std::string::npos);
  const Outcome again = RunProgram(With({"read", "--all", "--base", Base("again")}));
  ASSERT_EQ(again.status, 0) << again.err;
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFileBytes(dir / "again" / name), ReadFileBytes(dir / "cli" / name)) << name;
  }

  sim.ClearCommands();
  const Outcome resume = RunProgram(With({"resume"}));
  EXPECT_EQ(resume.status, 0) << resume.err;
  EXPECT_EQ(sim.Commands(), (std::vector<std::vector<std::uint8_t>>{{0x88, 0x77}, {0x87, 0x78}}));
}

// write --verify and compare pass on a faithful sensor and name the item
// when the sensor stores a value wrong.
TEST_F(TransferProgramTest, ComparisonsFindAValueTheSensorStoredWrong) {
  ASSERT_EQ(RunProgram(With({"read", "--params", "--patterns", "--banks", "2-3", "--base",
                             Base()}))
                .status,
            0);
  const Outcome same = RunProgram(With({"compare", "--params", "--patterns", "--banks", "2-3",
                                        "--base", Base()}));
  EXPECT_EQ(same.status, 0) << same.err;
  EXPECT_NE(same.err.find("ZEMA holds the same data as the files."), std::string::npos);

  struct Case {
    const char* kinds;
    int code;
    const char* file;    // the item named
    const char* where;   // the start of the place named
  };
  const Case cases[] = {
      {"--params", 0x82, ".pr3.zema", "value "},
      {"--patterns", 0x86, ".pt2.bmp", "block "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    // The second command of that code in the run: bank 3's set, bank 2's
    // section 1 (the sensor counts its commands from its start).
    sim.SetFaults({{{FaultKind::kStoreWrong, CommandsOfCode(c.code) + 2, c.code}}, {}});
    const Outcome verify =
        RunProgram(With({"write", c.kinds, "--banks", "2-3", "--base", Base(), "--verify"}));
    sim.SetFaults({});
    EXPECT_EQ(verify.status, 1) << verify.err;
    const std::string named = std::string("Error: ZEMA differs from the file: ") + Base() +
                              c.file + "\n  " + c.where;
    EXPECT_NE(verify.err.find(named), std::string::npos) << verify.err;
    const Outcome compare =
        RunProgram(With({"compare", c.kinds, "--banks", "2-3", "--base", Base()}));
    EXPECT_EQ(compare.status, 1);
    EXPECT_NE(compare.err.find(c.file), std::string::npos) << compare.err;
    ASSERT_EQ(RunProgram(With({"write", c.kinds, "--banks", "2-3", "--base", Base()})).status, 0);
  }
}

// Each exit status and answer option, with the texts the dialog would show:
// every case runs the program once and looks at what it printed and left.
TEST_F(TransferProgramTest, ExitStatusesAnswersAndTexts) {
  const std::string base = Base();
  const std::string image = base + ".pt4.bmp";
  struct Case {
    const char* name;
    std::function<void()> before;
    std::vector<std::string> arguments;  // --port is added unless "--device" or "ports"
    int status;
    std::vector<std::string> printed;  // on standard error (standard output for ports)
    std::vector<std::string> environment = {};
  };
  const std::string com = "COM" + std::to_string(sim.port());
  const Case cases[] = {
      {"NothingSelectedCompletes", [] {}, {"read", "--base", base}, 0,
       {"Reading from ZEMA is completed."}},
      {"ExistingFileRefused", [&] { WriteFileBytes(base + ".prM.zema", "1\n"); },
       {"read", "--common", "--base", base}, 3,
       {"Warning: Found same filename. Do you overwrite? No (Yes with --overwrite)"}},
      {"ExistingFileOverwritten", [] {}, {"read", "--common", "--base", base, "--overwrite"}, 0,
       {"Found same filename. Do you overwrite? Yes (--overwrite)",
        "Reading from ZEMA is completed."}},
      {"MissingFileAborts", [&] { fs::remove(base + ".pr3.zema"); },
       {"write", "--params", "--banks", "3-4", "--base", base}, 1,
       {"Warning: The file of bank parameters3 is not found. Do you abort remaining file(s)? "
        "Yes (No with --skip-missing)",
        "Error: Transfering is aborted."}},
      {"MissingFileSkipped", [] {},
       {"write", "--params", "--banks", "3", "--base", base, "--skip-missing"}, 0,
       {"is not found. Do you abort remaining file(s)? No (--skip-missing)",
        "Writing to ZEMA is completed."}},
      {"BadImageFileRefused", [&] { WriteFileBytes(image, "BM not a bitmap at all, 29 bytes"); },
       {"write", "--patterns", "--banks", "4", "--base", base}, 1,
       {"Error: " + LoadMessage(kMsgImageFileRejected) + image}},
      {"LinkFailure",
       [&] {
         const int third = static_cast<int>(sim.Commands().size()) + 3;
         sim.SetFaults({{{FaultKind::kNoReply, third, 0}}, {}});
       },
       {"read", "--params", "--banks", "0-5", "--base", base, "--overwrite"}, 1,
       {"Error: No communication response."}},
      {"CompareMissingFile", [&] { sim.SetFaults({}); },
       {"compare", "--params", "--banks", "3", "--base", base}, 1,
       {"Error: File not found: " + base + ".pr3.zema"}},
      {"PortWithoutDevice", [] {}, {"resume", "--port", "99"}, 1,
       {"Error: Failed to open COM port.\n  no device is linked as COM99"}},
      {"HandshakeRefusedCountsAsNo", [] {},
       {"resume", "--command-mode", "--speed", "57600"}, 1,
       {"Warning: Agree to stop operation of ZEMA? Yes (--command-mode)",
        "Error: ZEMA recieved an invalid communication data.If ZEMA screen displaying \"PC "
        "LOAD/SAVE\", please click [YES] button. No (Yes with --assume-pc-mode)"}},
      {"HandshakeRefusedAssumedPcMode", [] {},
       {"resume", "--command-mode", "--speed", "5", "--assume-pc-mode"}, 0,
       {"please click [YES] button. Yes (--assume-pc-mode)"}},
      {"DevicePath", [] {}, {"read", "--common", "--base", base, "--overwrite", "--device",
                             sim.devicePath(), "--trace"}, 0,
       {"PC -> ZEMA  88 77  confirm link", "ZEMA -> PC  06 F9  ACK",
        "PC -> ZEMA  81 0F 6F  read common parameter set"}},
      {"UserLanguage", [] {}, {"read", "--base", base, "--resume"}, 0, {"ZEMA ausgelesen."},
       {"LANG=de_DE.UTF-8"}},
      {"BadUsage", [] {}, {"read", "--banks", "3-1", "--base", base}, 2, {"--banks"}},
      {"SpeedWithoutCommandMode", [] {}, {"resume", "--speed", "9600"}, 2, {"--speed"}},
      {"Ports", [] {}, {"ports"}, 0, {com + " ", "-> " + sim.devicePath()}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.before();
    std::vector<std::string> arguments = c.arguments;
    const bool ownPort = arguments[0] == "ports" ||
                         std::find(arguments.begin(), arguments.end(), "--port") != arguments.end() ||
                         std::find(arguments.begin(), arguments.end(), "--device") != arguments.end();
    if (!ownPort) arguments = With(arguments);
    const Outcome outcome = RunProgram(arguments, c.environment);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    const std::string& printed = arguments[0] == "ports" ? outcome.out : outcome.err;
    for (const std::string& text : c.printed) {
      EXPECT_NE(printed.find(text), std::string::npos) << text << "\n---\n" << printed;
    }
  }
  EXPECT_EQ(ReadFileBytes(base + ".pr3.zema"), "") << "the missing file stays missing";
}

// A stop signal acts as CANCEL: the run stops after the current block (or
// between two parameter sets), says "Aborted." and leaves no partial file.
TEST_F(TransferProgramTest, StopSignalsCancelTheRun) {
  struct Case {
    const char* name;
    int signal;
    std::vector<std::string> kinds;
    int code;  // the signal comes with the 40th command of this code
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"CtrlCDuringAPatternBank", SIGINT, {"--patterns", "--banks", "0-1"}, 0x83, {}},
      {"SigtermBetweenParameterSets", SIGTERM, {"--params", "--common"}, 0x81, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string base = Base(c.name);
    std::atomic<int> seen{0};
    std::atomic<int> after{0};
    sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
      if (frame[0] != c.code) return;
      if (++seen == (c.code == 0x81 ? 4 : 40)) ::kill(g_child.load(), c.signal);
      if (seen > (c.code == 0x81 ? 4 : 40)) ++after;
    });
    std::vector<std::string> arguments = {"read", "--base", base};
    arguments.insert(arguments.end(), c.kinds.begin(), c.kinds.end());
    const Outcome outcome = RunProgram(With(arguments));
    sim.SetCommandHook(nullptr);
    EXPECT_EQ(outcome.status, 3) << outcome.err;
    EXPECT_NE(outcome.err.find("step"), std::string::npos);
    EXPECT_NE(outcome.err.find("Aborted.\n"), std::string::npos) << outcome.err;
    EXPECT_LE(after.load(), 1) << "at most the block or set in flight goes on";
    const std::vector<std::string> left = Files(fs::path(base).parent_path());
    if (c.code == 0x83) {
      EXPECT_TRUE(left.empty()) << left.front();
    } else {
      // The sets finished before the signal stay; nothing half-written.
      EXPECT_GE(left.size(), 3u);
      EXPECT_LE(left.size(), 5u);
      for (const std::string& name : left) EXPECT_EQ(name.find(".zema"), 9u) << name;
    }
  }
}

}  // namespace
