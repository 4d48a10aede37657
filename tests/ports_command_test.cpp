// "zema-transfer ports" as a script runs it, on texts the system hands over
// in no valid UTF-8: a holder's program name that the kernel cut at 15
// bytes inside a character, USB strings in another encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "tests/support/fake_sysfs.h"
#include "tests/support/program_run.h"

namespace fs = std::filesystem;

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

bool HasOpen(pid_t pid, const std::string& path) {
  std::error_code error;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
    if (fs::read_symlink(fd.path(), error) == path) return true;
  }
  return false;
}

TEST(PortsCommand, TextThatIsNotUtf8IsReplacedNeverFatal) {
  FakeSysfs tree;
  tree.AddUsbSerial("ttyUSB0", "1-2", {"0403", "6001", "Fa\xFFke", "Seriell \xC3", "A1"},
                    "ftdi_sio", 16, "");
  // "Prüfprogramm_" is 14 bytes: the kernel keeps the first byte of "ä".
  const fs::path holder = tree.folder() / "Prüfprogramm_äöü";
  fs::create_symlink("/usr/bin/tail", holder);
  ProgramRun holding;
  holding.Start(holder.string(), {"-f", tree.Device("ttyUSB0")});
  for (int i = 0; i < 500 && !HasOpen(holding.pid(), tree.Device("ttyUSB0")); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  const std::string program = std::string("Prüfprogramm_") + kReplacement;
  std::vector<std::string> arguments = {"ports", "--sysfs-root", tree.sysRoot(), "--dev-root",
                                        tree.devRoot()};
  const ProgramOutcome table = RunProgram("zema-transfer", arguments);
  EXPECT_EQ(table.status, 0) << table.err;
  for (const std::string& text :
       {program + " (" + std::to_string(holding.pid()) + ")",
        std::string("Fa") + kReplacement + "ke", std::string("Seriell ") + kReplacement}) {
    EXPECT_NE(table.out.find(text), std::string::npos) << text << "\n" << table.out;
  }

  arguments.push_back("--json");
  const ProgramOutcome json = RunProgram("zema-transfer", arguments);
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json ports = nlohmann::json::parse(json.out);
  const auto usb = std::find_if(ports.begin(), ports.end(), [&](const nlohmann::json& port) {
    return port["device"] == tree.Device("ttyUSB0");
  });
  ASSERT_NE(usb, ports.end()) << json.out;
  EXPECT_EQ((*usb)["manufacturer"], std::string("Fa") + kReplacement + "ke");
  EXPECT_EQ((*usb)["product"], std::string("Seriell ") + kReplacement);
  EXPECT_EQ((*usb)["held_by"][0]["program"], program) << json.out;
}

}  // namespace
