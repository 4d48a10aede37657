// The Windows build of zema-transfer under Wine, against the virtual sensor
// in this process: Wine opens "\\.\COM<n>" through the prefix's
// dosdevices/com<n> link to the sensor's pseudo-terminal, the Linux build
// reaches the same sensor through build/bin/dosdevices/com<n>. Both builds
// run the same commands; what the Windows build prints differs only in its
// CR LF line ends, and the files it writes not at all.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "res/messages.h"
#include "support/device_server.h"
#include "support/file_bytes.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/wine/wine_program.h"

namespace zema {

namespace fs = std::filesystem;
using zema::sim::FaultKind;
using zema::sim::SensorMemory;

namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

double SecondsSince(std::chrono::steady_clock::time_point started) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

class WineTransferTest : public ::testing::Test {
 protected:
  // A run of each build on the sensor, its files in a folder of its own
  // ("linux" or "wine" under `folder`); BASE stands for the base name in
  // the arguments and in what the run printed.
  ProgramOutcome Linux(const std::vector<std::string>& arguments, const std::string& folder,
                       const std::vector<std::string>& environment = {}) {
    const std::string base = Base(folder + "/linux");
    ProgramOutcome outcome = RunProgram("zema-transfer", With(arguments, base), environment);
    outcome.err = Replaced(outcome.err, base, "BASE");
    return outcome;
  }
  ProgramOutcome Windows(const std::vector<std::string>& arguments, const std::string& folder,
                         const std::vector<std::string>& environment = {}) {
    const std::string base = WindowsPath(Base(folder + "/wine"));
    ProgramOutcome outcome = RunUnderWine("zema-transfer.exe", With(arguments, base), environment);
    outcome.err = Replaced(outcome.err, base, "BASE");
    return outcome;
  }
  std::string Base(const std::string& folder) {
    fs::create_directories(dir / folder);
    return (dir / folder / "line1").string();
  }

  SimFixture sim;
  WineComLink link{sim.port(), sim.devicePath()};
  TempFolder dir{"zema-wine"};

  // The arguments with BASE replaced by `base`, on the sensor's port.
  std::vector<std::string> With(std::vector<std::string> arguments, const std::string& base) {
    for (std::string& argument : arguments) {
      if (argument.rfind("BASE", 0) == 0) argument = base + argument.substr(4);
    }
    const bool ownPort =
        std::find(arguments.begin(), arguments.end(), "--port") != arguments.end() ||
        std::find(arguments.begin(), arguments.end(), "--device") != arguments.end();
    if (!ownPort) arguments.insert(arguments.end(), {"--port", std::to_string(sim.port())});
    return arguments;
  }
};

// The whole sensor read by both builds gives the same 32 files byte for
// byte; written back into a wiped sensor by the Windows build and verified,
// it holds what it held; read again over its own files, they are replaced.
TEST_F(WineTransferTest, WholeSensorMatchesTheLinuxBuild) {
  auto started = std::chrono::steady_clock::now();
  const ProgramOutcome wine = Windows({"read", "--all", "--base", "BASE"}, "all");
  const double wineRead = SecondsSince(started);
  ASSERT_EQ(wine.status, 0) << wine.err;
  EXPECT_NE(WithLineFeeds(wine.err).find("step 1654955/1654955 Reading from ZEMA is completed.\n"),
            std::string::npos)
      << wine.err;
  started = std::chrono::steady_clock::now();
  ASSERT_EQ(Linux({"read", "--all", "--base", "BASE"}, "all").status, 0);
  const double linuxRead = SecondsSince(started);

  const std::vector<std::string> names = FolderEntries(dir / "all/wine");
  ASSERT_EQ(names.size(), 32u);
  ASSERT_EQ(names, FolderEntries(dir / "all/linux"));
  for (const std::string& name : names) {
    EXPECT_EQ(ReadFileBytes(dir / "all/wine" / name), ReadFileBytes(dir / "all/linux" / name))
        << name;
  }

  const SensorMemory held = sim.Memory();
  sim.EditMemory([](SensorMemory& memory) { memory = SensorMemory{}; });
  started = std::chrono::steady_clock::now();
  const ProgramOutcome write = Windows({"write", "--all", "--verify", "--base", "BASE"}, "all");
  const double wineWrite = SecondsSince(started);
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_NE(write.err.find("Writing to ZEMA is completed."), std::string::npos);
  EXPECT_NE(write.err.find(LoadMessage(kMsgSameAsFiles, Language::English)), std::string::npos);
  EXPECT_TRUE(sim.Memory() == held);

  fs::resize_file(dir / "all/wine/line1.prM.zema", 3);
  const ProgramOutcome again =
      Windows({"read", "--common", "--compensation", "--overwrite", "--base", "BASE"}, "all");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(FolderEntries(dir / "all/wine"), names) << "no temporary file is left";
  for (const char* name : {"line1.prM.zema", "line1.cmp.bmp"}) {
    EXPECT_EQ(ReadFileBytes(dir / "all/wine" / name), ReadFileBytes(dir / "all/linux" / name))
        << name;
  }
  std::cout << "[ figures  ] whole sensor: read under Wine " << wineRead << " s, on Linux "
            << linuxRead << " s; write --verify under Wine " << wineWrite << " s\n";
}

// Winsock reaches the sensor through ser2net as the Linux build does.
TEST_F(WineTransferTest, ThroughADeviceServerAsOnLinux) {
  DeviceServer server;
  std::string error;
  if (!server.Start(sim.devicePath(), DeviceServer::Mode::kRfc2217, error)) GTEST_SKIP() << error;
  const std::vector<std::string> read = {"read",   "--all", "--banks",  "3",
                                         "--base", "BASE",  "--device", server.url()};
  const ProgramOutcome wine = Windows(read, "server");
  ASSERT_EQ(wine.status, 0) << wine.out << wine.err;
  ASSERT_EQ(Linux(read, "server").status, 0);
  EXPECT_EQ(FolderContents(dir / "server/wine"), FolderContents(dir / "server/linux"));
  // A COM number given the server's URL opens it, as the dialog opens COM12.
  const ProgramOutcome link12 =
      RunUnderWine("zema-transfer.exe", {"ports", "--link", "12", server.url()});
  ASSERT_EQ(link12.status, 0) << link12.err;
  const ProgramOutcome linked =
      Windows({"read", "--all", "--banks", "3", "--base", "BASE", "--port", "12"}, "linked");
  ASSERT_EQ(linked.status, 0) << linked.err;
  EXPECT_EQ(FolderContents(dir / "linked/wine"), FolderContents(dir / "server/linux"));
  // The prefix is shared: the dialog tests must not see COM12.
  for (const auto& user :
       fs::directory_iterator(fs::path(std::getenv("WINEPREFIX")) / "drive_c/users")) {
    fs::remove_all(user.path() / "AppData/Roaming/zema-loader/network-ports");
  }
  server.Kill();
  const ProgramOutcome refused = Windows(read, "server");
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find(server.hostAndPort() + ": "), std::string::npos) << refused.err;
}

// Failures and languages: each case runs both builds, which end with the
// same status and print the same text.
TEST_F(WineTransferTest, FailuresAndLanguagesAsOnLinux) {
  struct Case {
    const char* name;
    std::function<void()> before;  // before each build's run
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> printed;  // in the Windows build's output
    std::vector<std::string> environment = {};
    bool sameDetail = true;  // false: only the first line is the same
  };
  // The command after the link's confirmation: the first parameter set.
  const auto noReplyToTheFirstRead = [this] {
    sim.SetFaults({});
    sim.AddFault({FaultKind::kNoReply, static_cast<int>(sim.Commands().size()) + 2, 0});
  };
  // clang-format off
  const Case cases[] = {
      {"LinkFailure", noReplyToTheFirstRead,
       {"read", "--params", "--banks", "0-5", "--base", "BASE"}, 1,
       {"Error: No communication response.\n"}, {}, false},
      {"MissingFile", [this] { sim.SetFaults({}); },
       {"write", "--params", "--banks", "3-4", "--base", "BASE"}, 1,
       {"Error: File not found: BASE.pr3.zema\n", "Error: Transfering is aborted.\n"}},
      {"PortWithoutDevice", [] {}, {"resume", "--port", "99"}, 1,
       {"\n  COM99: File not found. " + LoadMessage(kMsgNoSuchComPort) + "\n"}, {}, false},
      {"PortWithoutDeviceGerman", [] {}, {"resume", "--port", "99"}, 1,
       {"\n  COM99: Datei nicht gefunden. " + LoadMessage(kMsgNoSuchComPort, Language::German)},
       {"LC_ALL=de_DE.UTF-8"}, false},
      {"MissingFolder", [] {}, {"read", "--common", "--base", "BASE.missing/line1"}, 1,
       {"\n  BASE.missing: File not found.\n"}, {}, false},
      {"Help", [] {}, {"read", "--help"}, 0,
       {"--base C:\\zema\\line1 ", "3 stopped by Ctrl-C,\nCtrl-Break or closing",
        "schtasks /create"}, {}, false},
      {"German", [] {}, {"read", "--common", "--base", "BASE"}, 0,
       {LoadMessage(kMsgReadingCompleted, Language::German) + "\n"}, {"LC_ALL=de_DE.UTF-8"}},
      {"Japanese", [] {}, {"read", "--common", "--base", "BASE"}, 0,
       {LoadMessage(kMsgReadingCompleted, Language::Japanese) + "\n"}, {"LC_ALL=ja_JP.UTF-8"}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.before();
    const ProgramOutcome linux = Linux(c.arguments, c.name, c.environment);
    c.before();
    const ProgramOutcome wine = Windows(c.arguments, c.name, c.environment);
    EXPECT_EQ(linux.status, c.status) << linux.err;
    EXPECT_EQ(wine.status, c.status) << wine.err;
    const std::string wineText = WithLineFeeds(wine.err);
    if (c.sameDetail) {
      EXPECT_EQ(wineText, linux.err);
    } else {
      EXPECT_EQ(wineText.substr(0, wineText.find('\n')), linux.err.substr(0, linux.err.find('\n')));
    }
    for (const std::string& text : c.printed) {
      EXPECT_NE((WithLineFeeds(wine.out) + wineText).find(text), std::string::npos) << wineText;
    }
    // The bytes on a pipe: the UTF-8 texts, with the C runtime's CR LF.
    EXPECT_EQ(wine.err.size(), wineText.size() + static_cast<std::size_t>(std::count(
                                                      wineText.begin(), wineText.end(), '\n')));
    if (c.status != 0) {
      EXPECT_TRUE(FolderEntries(dir / c.name / "wine").empty());
    }
  }
}

// Ctrl-C reaches the Windows build as CTRL_C_EVENT (Wine turns SIGINT into
// it) and acts as CANCEL: the run stops within the pattern it reads, says
// "Aborted." and leaves no partial file. The control handler runs on a
// thread that the system starts for it, on Windows as under Wine, so a few
// fast blocks may pass before the run sees the request (Linux takes the
// signal at once, and stops after the block in flight); answered 50 ms late.
TEST_F(WineTransferTest, CtrlCCancelsTheRun) {
  std::atomic<int> seen{0};
  std::atomic<int> after{0};
  std::atomic<pid_t> program{0};  // the newest process with that folder: not zema-exit-code.exe
  const std::vector<std::string> newest = {"-n", "-f", dir.path().filename().string()};
  ProgramRun run;
  sim.SetCommandHook([&](std::size_t, std::span<const std::uint8_t> frame) {
    if (frame[0] != 0x83) return;
    if (++seen == 40) program = std::atoi(RunProgram("/usr/bin/pgrep", newest).out.c_str());
    if (seen == 40 && program > 0) ::kill(program, SIGINT);
    if (seen > 40 && ++after) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  });
  StartUnderWine(run, "zema-transfer.exe",
                 With({"read", "--patterns", "--banks", "0-1", "--base", "BASE"},
                      WindowsPath(Base("stop/wine"))));
  const ProgramOutcome outcome = WithWindowsExitCode(run.Wait());
  sim.SetCommandHook(nullptr);
  EXPECT_EQ(outcome.status, 3) << outcome.err;
  EXPECT_NE(WithLineFeeds(outcome.err).find("Aborted.\n"), std::string::npos) << outcome.err;
  EXPECT_LT(after.load(), 416 - 40) << "the pattern of bank 0 is not read to its end";
  std::cout << "[ figures  ] blocks read after Ctrl-C: " << after.load() << "\n";
  EXPECT_TRUE(FolderEntries(dir / "stop/wine").empty());
}

// A base name in a language beside the system's code page names exactly
// that file, read and written back; Wine hands the arguments over in UTF-8
// under a UTF-8 locale. Its length counts UTF-16 units, as Windows does:
// 120 Japanese characters take 360 bytes of UTF-8.
TEST_F(WineTransferTest, NonAsciiBaseNamesNameTheirFiles) {
  std::string kensa;  // 40 characters: a Linux name holds 255 bytes
  for (int i = 0; i < 20; ++i) kensa += "検査";
  for (const std::string& folder :
       {std::string("Prüfung"), std::string("検査"), kensa + "/" + kensa + "/" + kensa}) {
    SCOPED_TRACE(folder);
    const std::vector<std::string> utf8{"LC_ALL=C.UTF-8"};
    const ProgramOutcome read = Windows({"read", "--common", "--base", "BASE"}, folder, utf8);
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(FolderEntries(dir / folder / "wine"), std::vector<std::string>{"line1.prM.zema"});
    const ProgramOutcome write = Windows({"write", "--common", "--base", "BASE"}, folder, utf8);
    EXPECT_EQ(write.status, 0) << write.err;
  }
}

// The Windows parts zema-transfer does not print (windows_checks.cpp), and
// the port list, which opens "\\.\COM<n>" above COM99.
TEST_F(WineTransferTest, WindowsChecksPass) {
  const ProgramOutcome checks =
      RunUnderWine("zema-windows-checks.exe", {std::to_string(sim.port())});
  EXPECT_EQ(checks.status, 0) << checks.out << checks.err;
  EXPECT_NE(checks.out.find("Wine: "), std::string::npos) << checks.out;
  EXPECT_NE(checks.out.find(" passed, 0 failed"), std::string::npos) << checks.out;

  const ProgramOutcome ports = RunUnderWine("zema-transfer.exe", {"ports"});
  EXPECT_EQ(ports.status, 0);
  const std::string com = "COM" + std::to_string(sim.port());
  EXPECT_NE(ports.out.find("\\\\.\\" + com + "  " + com + " "), std::string::npos) << ports.out;
}

}  // namespace

}  // namespace zema
