// The Windows parts of the core that zema-transfer does not show on its
// output: device names, the serial driver's answers where Wine's
// communications calls differ from Windows', and where the settings file
// lives. Run under Wine by wine_transfer_test.cpp, and as it is on
// Windows:
//
//   zema-windows-checks.exe PORT
//
// PORT is a COM number with the virtual sensor behind it, in its menu mode.
// Each failed check is printed; the last line counts them, and the exit
// status is 0 only when none failed. Where Wine behaves otherwise than
// Windows, the check expects Wine's answer only when it runs under Wine.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "console/settings_file.h"
#include "console/settings_location.h"
#include "console/settings_text.h"
#include "link/commands.h"
#include "link/serial_port.h"
#include "res/dialog_templates.h"

namespace {

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const std::string& what) {
  if (ok) {
    ++g_passed;
  } else {
    ++g_failed;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The confirm command's frame and the sensor's reply to it, as bytes: these
// checks talk to the driver's port numbers, not through a link.
constexpr std::uint8_t kConfirmFrame[] = {kCmdConfirm.code, 0x77};
constexpr std::uint8_t kConfirmReply[] = {kAck, 0xF9};

// The sensor answers its confirm command when the line runs at its speed.
bool SensorAnswers(int port) {
  ComPurgeRx(port);
  ComWrite(port, kConfirmFrame, sizeof kConfirmFrame);
  std::uint8_t reply[sizeof kConfirmReply] = {};
  ComSetReadTimeout(port, kReplyTimeoutMs);
  return ComRead(port, reply, sizeof reply) == sizeof reply &&
         std::equal(std::begin(reply), std::end(reply), kConfirmReply);
}

class MemoryControls : public DialogControls {
 public:
  void EnableControl(int, bool) override {}
  bool IsControlEnabled(int) const override { return true; }
  void SetControlText(int id, const std::string& text) override { texts_[id] = text; }
  std::string ControlText(int id) const override { return Find(texts_, id, std::string()); }
  bool IsChecked(int id) const override { return Find(checks_, id, false); }
  void SetChecked(int id, bool checked) override { checks_[id] = checked; }
  int ListSelection(int id) const override { return Find(selections_, id, -1); }
  void SetListSelection(int id, int index) override { selections_[id] = index; }
  void SetFocusTo(int) override {}

 private:
  template <typename T>
  static T Find(const std::map<int, T>& values, int id, T otherwise) {
    const auto found = values.find(id);
    return found == values.end() ? otherwise : found->second;
  }
  std::map<int, std::string> texts_;
  std::map<int, bool> checks_;
  std::map<int, int> selections_;
};

class NoDialogs : public OperatorDialogs {
 public:
  bool AskYesNo(int, const std::string&, const std::string&, BoxIcon) override { return false; }
  void ShowError(const std::string& text, const std::string&) override { errors += text; }
  std::string errors;
};

void CheckDeviceNames() {
  for (int n : {1, 9, 10, 99, 100, 256}) {
    const std::string name = "COM" + std::to_string(n);
    Check(ComDevicePath(n) == "\\\\.\\" + name, "device of " + name);
  }
  Check(ComDevicePath(0).empty() && ComDevicePath(257).empty(), "no device outside 1 to 256");
}

// Speeds that Wine cannot set on a tty are refused, and the line keeps the
// speed it had; Windows takes every speed of the table.
void CheckSpeeds(int port, bool wine) {
  for (std::uint32_t code = 1; code <= 15; ++code) {
    const bool noTermiosSpeed = code == 8 || code == 11 || code == 14 || code == 15;
    Check(ComSetMode(port, kLineMode57600NoParity) == kComOk, "57600 baud");
    const std::string speed = "speed code " + std::to_string(code);
    const int result = ComSetMode(port, code);
    const int expected = wine && noTermiosSpeed ? kComSystemRefused : kComOk;
    Check(result == expected, speed + " gives " + std::to_string(result));
    if (result != kComOk) Check(SensorAnswers(port), "57600 kept after refusing " + speed);
  }
  Check(ComSetMode(port, kLineMode57600NoParity) == kComOk && SensorAnswers(port),
        "the sensor answers at 57600 again");

  const std::uint32_t rtsToggle = 4u << 20;
  Check(ComSetMode(port, rtsToggle) == (wine ? kComSystemRefused : kComOk), "RTS toggle");
  Check(SensorAnswers(port), "the sensor answers after RTS toggle");
}

void CheckInputQueue(int port) {
  ComWrite(port, kConfirmFrame, sizeof kConfirmFrame);
  for (int waited = 0; waited < 3000 && ComRxCount(port) < 2; waited += 10) Sleep(10);
  Check(ComRxCount(port) == 2, "the reply waits in the input queue");
  Check(ComPurgeRx(port) == kComOk && ComRxCount(port) == 0, "the input queue is discarded");
  std::uint8_t byte = 0;
  Check(ComSetReadTimeout(port, 50) == kComOk && ComRead(port, &byte, 1) == 0,
        "nothing to read after the purge");
}

// Another holder of the port: Windows refuses the driver's open and says
// why; Wine lets both open it.
void CheckExclusiveOpen(int port, bool wine) {
  Check(ComClose(port) == kComOk, "close");
  HANDLE other = CreateFileA(ComDevicePath(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  Check(other != INVALID_HANDLE_VALUE, "another holder opens the port");
  std::string detail;
  const int opened = ComOpen(port, 512, 512, &detail);
  if (wine) {
    Check(opened == kOpenOk, "Wine opens a port held elsewhere");
  } else {
    Check(
        opened == kOpenDeviceFailed && detail.find(LoadMessage(kMsgPortInUse)) != std::string::npos,
        "a port held elsewhere is refused: " + detail);
  }
  if (opened == kOpenOk) ComClose(port);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  Check(ComOpen(port, 512, 512) == kOpenOk, "reopen once the other holder is gone");
}

// An installed copy (its folder holds the setup program's uninstaller)
// keeps its settings in %APPDATA%, unless a file is beside it already.
void CheckInstalledSettingsLocation() {
  namespace fs = std::filesystem;
  const char* appData = std::getenv("APPDATA");
  Check(appData != nullptr && UserConfigHome() == appData, "config home: " + UserConfigHome());
  if (appData == nullptr) return;
  const std::string inAppData = std::string(appData) + "\\zema-loader\\zema-loader.ini";
  const std::string restoreAppData = std::string("APPDATA=") + appData;
  const fs::path folder = fs::temp_directory_path() / "zema-installed";
  std::error_code error;
  fs::remove_all(folder, error);
  fs::create_directories(folder);
  std::ofstream(folder / ZEMA_UNINSTALLER_NAME).put('x');
  const std::string beside = (folder / "zema-loader.ini").string();
  const struct {
    const char* setting;  // "NAME=value" for _putenv, or nullptr
    bool fileBeside;
    const std::string& expected;
  } kCases[] = {{nullptr, false, inAppData}, {"APPDATA=", false, beside}, {nullptr, true, beside}};
  for (const auto& c : kCases) {
    if (c.fileBeside) std::ofstream(beside).put('x');
    if (c.setting != nullptr) _putenv(c.setting);
    const std::string path = SettingsPathForProgram((folder / "zema-loader.exe").string());
    Check(path == c.expected, "an installed copy keeps its settings in " + path);
    _putenv(restoreAppData.c_str());
  }
  fs::remove_all(folder, error);
}

void CheckSettingsFile() {
  const std::string exe = ExecutablePath();
  const std::string expected = exe.substr(0, exe.size() - 3) + "ini";
  Check(exe.size() > 4 && exe.substr(exe.size() - 4) == ".exe", "own path " + exe);
  Check(SettingsPathBeside(exe) == expected, "beside: " + SettingsPathBeside(exe));
  _putenv("HOME=C:\\Users\\Someone");
  _putenv("XDG_CONFIG_HOME=C:\\Users\\Someone\\.config");
  Check(DefaultSettingsPath() == expected,
        "the file stays beside with HOME set: " + DefaultSettingsPath());

  // No file gives the first-start choices; saved, they are the ten lines
  // with line feeds only, as on every system.
  std::error_code error;
  std::filesystem::remove(expected, error);
  MemoryControls controls;
  NoDialogs dialogs;
  LoadSettings(expected, controls);
  Check(SaveSettings(expected, controls, dialogs), "save: " + dialogs.errors);
  std::ifstream file(expected, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  file.close();
  Check(bytes == "0\n4\n0\n14\n1\n1\n1\n0\n0\nUntitled", "settings file bytes: " + bytes);
  for (const char* mark : {"\xEF\xBB\xBF", ""}) {  // Notepad's "UTF-8 with BOM", "UTF-8"
    std::ofstream(expected, std::ios::binary)
        << mark << "2\r\n4\r\n3\r\n00005\r\n1\r\n1\r\n1\r\n0\r\n0\r\nC:\\Pr\u00fcfung\r\n";
    LoadSettings(expected, controls);
    Check(controls.ListSelection(kCtlPortList) == 2 && controls.ListSelection(kCtlEndBank) == 5 &&
              controls.ControlText(kCtlBaseName) == "C:\\Prüfung",
          "a settings file Notepad saved");
  }
  std::filesystem::remove(expected, error);
}

// The base name on the settings file's tenth line, on a system whose ANSI
// code page is 1252 (Wine's under an English or German locale): what the
// code page holds is stored in it, anything else as marked UTF-8.
void CheckSettingsBaseNames() {
  if (GetACP() != 1252) return;
  const std::pair<std::string, std::string> names[] = {
      {"C:\\data\\line1", "C:\\data\\line1"},
      {"C:\\Prüfung\\line1", "C:\\Pr\xFC" "fung\\line1"},
      {"C:\\検査\\line1", "\xEF\xBB\xBF" "C:\\検査\\line1"},
  };
  for (const auto& [name, stored] : names) {
    Check(BaseNameForSettings(name) == stored, "stored bytes of " + name);
    Check(BaseNameFromSettings(stored) == name, "name read from the bytes of " + name);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int port = argc == 2 ? std::atoi(argv[1]) : 0;
  if (port < kFirstPort || port > kLastPort) {
    std::printf("usage: zema-windows-checks PORT (the virtual sensor's COM number)\n");
    return 2;
  }
  const bool wine = RunningUnderWine();
  CheckDeviceNames();
  std::string detail;
  const int opened = ComOpen(port, 512, 512, &detail);
  Check(opened == kOpenOk, "open " + ComDevicePath(port) + ": " + detail);
  if (opened == kOpenOk) {
    CheckSpeeds(port, wine);
    CheckInputQueue(port);
    CheckExclusiveOpen(port, wine);
    Check(ComClose(port) == kComOk, "final close");
  }
  CheckInstalledSettingsLocation();
  CheckSettingsFile();
  CheckSettingsBaseNames();
  std::printf("%s: %d passed, %d failed\n", wine ? "Wine" : "Windows", g_passed, g_failed);
  return g_failed == 0 ? 0 : 1;
}
