// The zema-transfer program as a script runs it, against the virtual sensor
// in this process: the built binary reaches it through the same
// dosdevices/comN link beside it (build/bin) that the loader would use.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "formats/image_file.h"
#include "formats/parameter_file.h"
#include "link/packet.h"
#include "link/port_device_path.h"
#include "link/serial_port.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fake_sysfs.h"
#include "tests/support/recording_run_view.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_run.h"

namespace zema {

namespace fs = std::filesystem;
using zema::sim::CommandFault;
using zema::sim::FaultKind;
using zema::sim::SensorMemory;

namespace {

constexpr auto kPoll = std::chrono::milliseconds(10);

// Waits until no signal sent to process `pid` is pending: its handler has
// run. Two of one kind sent sooner would count as one.
void AwaitDelivery(pid_t pid) {
  for (int i = 0; i < 1000; ++i) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line) && line.rfind("ShdPnd:", 0) != 0) {}
    if (line.empty() || std::stoull(line.substr(7), nullptr, 16) == 0) return;
    std::this_thread::sleep_for(kPoll);
  }
}

bool TerminalIsExclusive(const std::string& device) {
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int exclusive = 1;  // a terminal this user cannot open counts as kept
  if (fd >= 0) ::ioctl(fd, TIOCGEXCL, &exclusive);
  if (fd >= 0) ::close(fd);
  return exclusive != 0;
}

// zema-transfer with these arguments, run to its end.
ProgramOutcome Transfer(const std::vector<std::string>& arguments,
                        const std::vector<std::string>& environment = {}) {
  return RunProgram("zema-transfer", arguments, environment);
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
  const ProgramOutcome read = Transfer(With({"read", "--all", "--base", Base()}));
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
  SensorLink link = OpenMenuLink(sim.port());
  RecordingRunView view;
  ScriptedOperator dialogs;
  TransferRun run{target, link, view, dialogs};
  ASSERT_EQ(RunTransfer(run), RunEnd::Finished) << run.failure.value_or(Failure{}).text;
  link.Close();
  const std::vector<std::string> names = FolderEntries(dir / "cli");
  ASSERT_EQ(names.size(), 32u);
  ASSERT_EQ(names, FolderEntries(dir / "dialog"));
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFileBytes(dir / "cli" / name), ReadFileBytes(dir / "dialog" / name)) << name;
  }

  sim.EditMemory([](SensorMemory& memory) { memory = SensorMemory{}; });
  const ProgramOutcome write = Transfer(With({"write", "--all", "--base", Base(), "--verify"}));
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_NE(write.err.find("Writing to ZEMA is completed."), std::string::npos);
  EXPECT_NE(write.err.find(LoadMessage(kMsgSameAsFiles)), std::string::npos);
  const ProgramOutcome again = Transfer(With({"read", "--all", "--base", Base("again")}));
  ASSERT_EQ(again.status, 0) << again.err;
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFileBytes(dir / "again" / name), ReadFileBytes(dir / "cli" / name)) << name;
  }

  sim.ClearCommands();
  const ProgramOutcome resume = Transfer(With({"resume"}));
  EXPECT_EQ(resume.status, 0) << resume.err;
  EXPECT_EQ(sim.Commands(), (std::vector<std::vector<std::uint8_t>>{{0x88, 0x77}, {0x87, 0x78}}));
}

// write --verify and compare pass on a faithful sensor and name the item
// when the sensor stores a value wrong.
TEST_F(TransferProgramTest, ComparisonsFindAValueTheSensorStoredWrong) {
  ASSERT_EQ(Transfer(With({"read", "--params", "--patterns", "--banks", "2-3", "--base",
                             Base()}))
                .status,
            0);
  const ProgramOutcome same = Transfer(With({"compare", "--params", "--patterns", "--banks", "2-3",
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
      {"--params", 0x82, ".pr3.zema", "line 17: file \"3016\", ZEMA 3017"},
      {"--patterns", 0x86, ".pt2.bmp", "block "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    // The second command of that code in the run: bank 3's set, bank 2's
    // section 1 (the sensor counts its commands from its start).
    sim.SetFaults({{{FaultKind::kStoreWrong, CommandsOfCode(c.code) + 2, c.code}}, {}});
    const ProgramOutcome verify =
        Transfer(With({"write", c.kinds, "--banks", "2-3", "--base", Base(), "--verify"}));
    sim.SetFaults({});
    EXPECT_EQ(verify.status, 1) << verify.err;
    const std::string named = std::string("Error: ZEMA differs from the file: ") + Base() +
                              c.file + "\n  " + c.where;
    EXPECT_NE(verify.err.find(named), std::string::npos) << verify.err;
    EXPECT_NE(verify.err.find(" Verifying: reading back what was written\n"), std::string::npos);
    const ProgramOutcome compare =
        Transfer(With({"compare", c.kinds, "--banks", "2-3", "--base", Base()}));
    EXPECT_EQ(compare.status, 1);
    EXPECT_NE(compare.err.find(c.file), std::string::npos) << compare.err;
    ASSERT_EQ(Transfer(With({"write", c.kinds, "--banks", "2-3", "--base", Base()})).status, 0);
  }
}

// Each exit status and answer option, with the texts the dialog would show:
// every case runs the program once and looks at what it printed and left.
TEST_F(TransferProgramTest, ExitStatusesAnswersAndTexts) {
  const std::string base = Base();
  const std::string image = base + ".pt4.bmp";
  const std::string folder = fs::path(Base("backup")).parent_path().string() + "/";
  struct Case {
    const char* name;
    std::function<void()> before;
    std::vector<std::string> arguments;  // --port is added unless a port is named or "ports"
    int status;
    std::vector<std::string> printed;  // on standard error (standard output for ports)
    std::vector<std::string> environment = {};
    bool sendsNothing = false;  // the sensor is not even connected
  };
  const std::string com = "COM" + std::to_string(sim.port());
  const std::vector<std::string> kPortChoices = {"--port", "--device", "--adapter-serial"};
  // A driver taking the low-latency flag (0 again: put back); a port held by a name cut inside "ä".
  const std::vector<std::string> flagDriver = {"LD_PRELOAD=" ZEMA_SERIAL_FLAGS_SHIM,
                                               "ASAN_OPTIONS=verify_asan_link_order=0"};
  const std::vector<std::string> flagBack = {"is completed.", "serial flags 0\n"};
  FakeSysfs tree;
  tree.AddUsbSerial("ttyUSB0", "1-2", {"0403", "6001", "Fa\xFFke", "", ""}, "ftdi_sio", -1, "");
  const std::vector<std::string> ports = {"ports",      "--sysfs-root", tree.sysRoot(),
                                          "--dev-root", tree.devRoot(), "--json"};
  fs::create_symlink("/usr/bin/tail", tree.folder() / "Prüfprogramm_äöü");
  ProgramRun holder;
  auto holdPort = [&, e = std::error_code()]() mutable {
    holder.Start((tree.folder() / "Prüfprogramm_äöü").string(), {"-f", tree.Device("ttyUSB0")});
    const fs::path held = "/proc/" + std::to_string(holder.pid()) + "/fd/3";  // once it is open
    for (int i = 0; i < 500 && fs::read_symlink(held, e) != tree.Device("ttyUSB0"); ++i) {
      std::this_thread::sleep_for(kPoll);
    }
  };
  // clang-format off
  const Case cases[] = {
      {"NothingSelectedIsAMistake", [] {}, {"read", "--base", base}, 2,
       {"choose what to transfer: --params, --common, --compensation, --patterns, or --all"},
       {}, true},
      {"MistypedCommand", [] {}, {"reed", "--all", "--base", base}, 2,
       {"unknown subcommand 'reed'"}, {}, true},
      {"EmptyBaseName", [] {}, {"read", "--all", "--base", ""}, 2,
       {"Error: " + LoadMessage(kMsgBaseNameWithoutName)}, {}, true},
      // A folder as the base name: the files ".prM.zema" and ".cmp.bmp" in it.
      {"FolderRead", [] {}, {"read", "--common", "--compensation", "--base", folder}, 0,
       {"Reading from ZEMA is completed."}},
      {"FolderCompared", [] {}, {"compare", "--common", "--compensation", "--base", folder}, 0,
       {"ZEMA holds the same data as the files."}},
      {"FolderWritten", [] {}, {"write", "--common", "--compensation", "--base", folder}, 0,
       {"Writing to ZEMA is completed."}},
      {"Utf16FileRefused",
       [&] { WriteFileBytes(base + ".pr6.zema", std::string("\xFF\xFE" "1", 4)); },
       {"write", "--params", "--banks", "6", "--base", base}, 1,
       {"Error: The parameter file " + base + ".pr6.zema is saved as Unicode (UTF-16)."}},
      {"ExistingFileRefused", [&] { WriteFileBytes(base + ".prM.zema", "1\n"); },
       {"read", "--common", "--base", base}, 3,
       {"Warning: Found same filename. Do you overwrite? No (Yes with --overwrite)\n  " + base +
        ".prM.zema"}},
      {"ExistingFileOverwritten", [] {}, {"read", "--common", "--base", base, "--overwrite"}, 0,
       {"Found same filename. Do you overwrite? Yes (--overwrite)",
        "Reading from ZEMA is completed."}},
      {"MissingFileAbortsBeforeConnecting",
       [&] {
         WriteFileBytes(base + ".pr2.zema", FormatParamFile(ParamSet{}));
         WriteFileBytes(base + ".pr4.zema", FormatParamFile(ParamSet{}));
         fs::remove(base + ".pr3.zema");
       },
       {"write", "--params", "--banks", "2-4", "--base", base}, 1,
       {"Error: File not found: " + base + ".pr3.zema\nError: Transfering is aborted."},
       {}, true},
      {"MissingFileSkipped", [] {},
       {"write", "--params", "--banks", "3", "--base", base, "--skip-missing"}, 0,
       {"is not found. Do you abort remaining file(s)? No (--skip-missing)",
        "No target data fo writing in."}},
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
       {"port  " + sim.devicePath() + ": no low-latency flag on this port",
        "PC -> ZEMA  88 77  confirm link", "ZEMA -> PC  06 F9  ACK",
        "PC -> ZEMA  81 0F 6F  read common parameter set"}},
      {"AdapterSerialUnknown", [] {}, {"resume", "--adapter-serial", "NO-SUCH-ADAPTER"}, 1,
       {"Error: Failed to open COM port.\n  no serial adapter has the USB serial number "
        "NO-SUCH-ADAPTER"}},
      {"UserLanguage", [] {}, {"read", "--common", "--base", base, "--overwrite", "--resume"}, 0,
       {"ZEMA ausgelesen."}, {"LANG=de_DE.UTF-8"}},
      {"BadUsage", [] {}, {"read", "--banks", "3-1", "--base", base}, 2, {"--banks"}},
      {"OverwriteOnlyWhereFilesAreWritten", [] {}, {"write", "--overwrite", "--base", base}, 2,
       {"--overwrite"}},
      {"SkipMissingOnlyWhereFilesAreSent", [] {}, {"read", "--skip-missing", "--base", base}, 2,
       {"--skip-missing"}},
      {"HelpSaysTheQuestionsInWords", [] {}, {"read", "--help"}, 0,
       {"\"Agree to stop operation of ZEMA?\"", "\"Found same filename. Do you overwrite?\""}},
      {"SpeedWithoutCommandMode", [] {}, {"resume", "--speed", "9600"}, 2, {"--speed"}},
      {"Ports", [] {}, {"ports"}, 0, {com + " ", sim.devicePath() + " ", "virtual sensor"}},
      {"PortsJsonNotUtf8", holdPort, ports, 0,
       {"\"program\": \"Prüfprogramm_\xEF\xBF\xBD\"", "\"manufacturer\": \"Fa\xEF\xBF\xBDke\""}},
      {"PortsNotUtf8", [] {}, {ports.begin(), ports.end() - 1}, 0,
       {"Prüfprogramm_\xEF\xBF\xBD (", "Fa\xEF\xBF\xBDke"}},
      {"LowLatency", [] {}, {"read", "--common", "--base", base + "1"}, 0, flagBack, flagDriver},
      {"LowLatencyResumed", [] {}, {"read", "--common", "--base", base + "2", "--resume"}, 0,
       flagBack, flagDriver},
      {"LowLatencyTraced", [] {}, {"read", "--common", "--base", base + "3", "--trace"}, 0,
       {"is completed.", "serial flags 0\n", "flag cleared again, as it was"}, flagDriver},
      {"LowLatencyTracedResumed", [] {},
       {"read", "--common", "--base", base + "4", "--trace", "--resume"}, 0,
       {"is completed.", "serial flags 0\n", "flag cleared again, as it was"}, flagDriver},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.before();
    std::vector<std::string> arguments = c.arguments;
    const bool ownPort =
        arguments[0] == "ports" || std::find_first_of(arguments.begin(), arguments.end(),
                                                      kPortChoices.begin(), kPortChoices.end()) !=
                                       arguments.end();
    if (!ownPort) arguments = With(arguments);
    const std::size_t commandsBefore = sim.Commands().size();
    const ProgramOutcome outcome = Transfer(arguments, c.environment);
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    if (c.sendsNothing) {
      EXPECT_EQ(sim.Commands().size(), commandsBefore);
    }
    const std::string printed = outcome.out + outcome.err;  // help and ports: standard output
    for (const std::string& text : c.printed) {
      EXPECT_NE(printed.find(text), std::string::npos) << text << "\n---\n" << printed;
    }
    // The terminal's exclusive mark outlives a program that did not clear
    // it while the sensor holds the terminal, and keeps out every ordinary
    // user's next program (never root's).
    EXPECT_FALSE(TerminalIsExclusive(sim.devicePath()));
  }
  EXPECT_EQ(ReadFileBytes(base + ".pr3.zema"), "") << "the missing file stays missing";
}

// A stop signal, or SIGPIPE from an output whose reader has gone, acts as
// CANCEL in every step of both directions: the run stops after the current
// block (or between two parameter sets, or after a flash commit, which is
// never abandoned half-way), says "Aborted." and leaves no temporary or
// partial file; a WRITE leaves its files as they were.
TEST_F(TransferProgramTest, StopSignalsCancelEveryStep) {
  const std::string sources = Base("sources");
  ASSERT_EQ(Transfer(With({"read", "--params", "--common", "--compensation", "--base", sources}))
                .status,
            0);
  ASSERT_EQ(Transfer(With({"read", "--patterns", "--banks", "0", "--base", sources})).status, 0);
  const auto sourceContents = FolderContents(fs::path(sources).parent_path());

  struct Case {
    const char* name;
    const char* command;
    std::vector<std::string> kinds;  // of banks 0 to 14, or the pattern of bank 0
    int code;  // the signal comes with the nth command of this code
    int nth;
    int flashDelayMs = 0;
  };
  const std::vector<std::string> parameters = {"--params", "--common"};
  const std::vector<std::string> pattern = {"--patterns", "--banks", "0"};
  const Case cases[] = {
      {"ReadParameters", "read", parameters, 0x81, 4},
      {"ReadCompensation", "read", {"--compensation"}, 0x83, 40},
      {"ReadPattern", "read", pattern, 0x83, 300},
      {"WriteParameters", "write", parameters, 0x82, 4},
      {"WriteCompensation", "write", {"--compensation"}, 0x84, 40},
      {"WritePattern", "write", pattern, 0x84, 300},
      {"WriteFlashCommit", "write", pattern, 0x86, 1, 400},
  };
  int run = 0;
  for (const Case& c : cases) {
    sim.SetFlashDelay(c.flashDelayMs);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
      SCOPED_TRACE(testing::Message() << c.name << " " << strsignal(signal));
      const bool reading = std::string(c.command) == "read";
      const std::string base = reading ? Base("read" + std::to_string(++run)) : sources;
      ProgramRun program;
      std::atomic<int> seen{0};
      std::atomic<int> after{0};
      sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
        if (frame[0] != c.code) return;
        if (++seen == c.nth) ::kill(program.pid(), signal);
        if (seen > c.nth) ++after;
      });
      std::vector<std::string> arguments = {c.command, "--base", base};
      arguments.insert(arguments.end(), c.kinds.begin(), c.kinds.end());
      program.Start("zema-transfer", With(arguments));
      const ProgramOutcome outcome = program.Wait();
      sim.SetCommandHook(nullptr);
      EXPECT_EQ(outcome.status, 3) << outcome.err;
      EXPECT_NE(outcome.err.find("Aborted.\n"), std::string::npos) << outcome.err;
      EXPECT_EQ(seen.load() - after.load(), c.nth);
      EXPECT_LE(after.load(), 1) << "at most the block or set in flight goes on";
      const fs::path folder = fs::path(base).parent_path();
      if (!reading) {
        EXPECT_EQ(FolderContents(folder), sourceContents);
        continue;
      }
      // The parameter sets finished before the signal stay, whole; an
      // image stopped half-way leaves nothing.
      const auto left = FolderContents(folder);
      EXPECT_GE(left.size(), c.code == 0x81 ? c.nth - 1u : 0u);
      for (const auto& [name, bytes] : left) {
        ASSERT_EQ(name.find(".zema"), 9u) << name;
        EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 32) << name;
        EXPECT_EQ(bytes, sourceContents.at(name)) << name;
      }
    }
  }
}

// A Ctrl-C after a stop ends the program at once, also while it waits for a
// flash commit (the sensor takes 60 s; the reply's time-out is 30 s).
TEST_F(TransferProgramTest, ASecondCtrlCEndsAtOnce) {
  const std::string sources = Base("sources");
  ASSERT_EQ(Transfer(With({"read", "--compensation", "--base", sources})).status, 0);
  std::atomic<bool> committing{false};
  sim.SetCommandHook([&](std::size_t, auto frame) { committing = frame[0] == 0x86; });
  for (const bool quiet : {false, true}) {
    committing = false;
    sim.SetFlashDelay(60000);
    std::vector<std::string> arguments = {"write", "--compensation", "--base", sources};
    if (quiet) arguments.push_back("--quiet");
    ProgramRun program;
    program.Start("zema-transfer", With(arguments));
    for (int i = 0; i < 6000 && !committing; ++i) std::this_thread::sleep_for(kPoll);
    for (int i = 0; i < 2; ++i) {
      ::kill(program.pid(), SIGINT);
      AwaitDelivery(program.pid());
    }
    const ProgramOutcome outcome = program.Wait(std::chrono::seconds(10));  // not the 30 s
    sim.Replug();  // ends the flash store
    EXPECT_FALSE(outcome.overran);
    EXPECT_EQ(outcome.status, 3) << outcome.err;
    EXPECT_EQ(outcome.err.ends_with("\nAborted.\n"), !quiet) << outcome.err;
    EXPECT_EQ(outcome.err.empty(), quiet) << outcome.err;
  }
  sim.SetCommandHook(nullptr);
}

// A second zema-transfer on the port of a running transfer is refused at
// once with "Failed to open COM port." and sends nothing; the first one's
// transfer goes on undisturbed and ends right. The sensor holds the first
// one's flash commit (whose reply may take 30 s) until the second ones
// have ended, so they surely meet the port in use.
TEST_F(TransferProgramTest, SecondProgramOnAPortInUseIsRefused) {
  const std::string sources = Base("sources");
  ASSERT_EQ(Transfer(With({"read", "--all", "--banks", "0", "--base", sources})).status, 0);
  const auto sourceContents = FolderContents(fs::path(sources).parent_path());
  sim.ClearCommands();

  std::mutex mutex;
  std::condition_variable changed;
  bool committing = false;
  bool secondsDone = false;
  sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
    if (frame[0] != 0x86) return;
    std::unique_lock lock(mutex);
    if (committing) return;
    committing = true;
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(20), [&] { return secondsDone; });
  });
  ProgramRun first;
  first.Start("zema-transfer",
              With({"write", "--all", "--banks", "0", "--base", sources, "--verify"}));
  std::vector<ProgramOutcome> seconds;
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return committing; }));
  }
  seconds.push_back(Transfer(With({"read", "--common", "--base", Base("second")})));
  seconds.push_back(Transfer({"resume", "--device", sim.devicePath()}));
  {
    std::lock_guard lock(mutex);
    secondsDone = true;
    changed.notify_all();
  }
  const ProgramOutcome done = first.Wait();
  sim.SetCommandHook(nullptr);
  for (const ProgramOutcome& second : seconds) {
    EXPECT_EQ(second.status, 1) << second.err;
    EXPECT_NE(second.err.find("Error: Failed to open COM port.\n  "), std::string::npos)
        << second.err;
    EXPECT_NE(second.err.find("in use by another program"), std::string::npos) << second.err;
  }
  EXPECT_TRUE(FolderEntries(dir / "second").empty());
  EXPECT_EQ(done.status, 0) << done.err;
  EXPECT_NE(done.err.find(LoadMessage(kMsgSameAsFiles)), std::string::npos) << done.err;
  EXPECT_EQ(FolderContents(fs::path(sources).parent_path()), sourceContents);
  const auto commands = sim.Commands();
  EXPECT_EQ(std::count_if(commands.begin(), commands.end(),
                          [](const auto& frame) { return frame[0] == 0x88; }),
            1)
      << "the second ones sent nothing";
}

// Standard streams closed (a daemon, `2>&-`): no progress line reaches the
// sensor or a file that took their numbers; the READ's files are as usual.
TEST_F(TransferProgramTest, ClosedStandardStreamsReachNeitherSensorNorFiles) {
  for (const std::string closing : {"", "2>&-", "<&- >&- 2>&-"}) {
    const std::string base = Base("closed" + std::to_string(closing.size()));
    const ProgramOutcome read = RunProgram(
        "/bin/sh",
        With({"-c", "exec \"$@\" " + closing, "sh", ExecutableFolder() + "/zema-transfer", "read",
              "--compensation", "--patterns", "--banks", "1", "--base", base}));
    EXPECT_EQ(read.status, 0) << closing;
    EXPECT_TRUE(FolderContents(dir / "closed0") == FolderContents(fs::path(base).parent_path()));
  }
}

}  // namespace

}  // namespace zema
