// The settings file: where it lives, what a stored file starts the main
// dialog with, and what EXIT writes back.
#include "console/settings_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <string>

#include "console/com_mode.h"
#include "console/connection_control.h"
#include "console/settings_location.h"
#include "res/dialog_templates.h"
#include "res/messages.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/read_only_folder.h"
#include "tests/support/temp_folder.h"
#include "transfer/transfer_target.h"

namespace {

namespace fs = std::filesystem;

void Put(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  WriteFileBytes(path, text);
}

int Entries(const fs::path& folder) {
  if (!fs::exists(folder)) return 0;
  return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

enum class Where { Nowhere, Beside, Config };

// What the main dialog shows after start-up with a stored file.
struct Shown {
  int portIndex;
  int speedIndex;
  int startBank;
  int endBank;
  bool common;
  bool bright;
  bool bank;
  bool commandMode;
  const char* baseName;
};

struct SettingsCase {
  const char* name;
  const char* stored;  // the file before start-up
  Where storedAt;
  bool readOnlyFolder;  // the executable's folder
  Shown shown;
  std::function<void(DialogControls&)> operatorChanges;  // before EXIT; may be empty
  const char* saved;  // the file after EXIT; null: the save fails
  Where savedAt;
  bool readOnlyFile = false;  // the stored file
};

constexpr Shown kFirstStart{0, 4, 0, 14, true, true, true, false, "Untitled"};
constexpr char kFirstStartFile[] = "0\n4\n0\n14\n1\n1\n1\n0\n0\nUntitled";
const std::function<void(DialogControls&)> kNoChange;

const SettingsCase kCases[] = {
    {"no file", nullptr, Where::Nowhere, false, kFirstStart, kNoChange, kFirstStartFile,
     Where::Beside},
    {"command mode: patterns never read back", "2\n1\n3\n5\n0\n1\n1\n1\n1\nC:\\data\\lineA",
     Where::Beside, false, {2, 1, 3, 5, false, true, true, true, "C:\\data\\lineA"}, kNoChange,
     "2\n1\n3\n5\n0\n1\n1\n0\n1\nC:\\data\\lineA", Where::Beside},
    {"menu mode: the speed goes back to 57600", "2\n1\n3\n5\n0\n1\n1\n1\n0\nC:\\data\\lineA",
     Where::Beside, false, {2, 4, 3, 5, false, true, true, false, "C:\\data\\lineA"}, kNoChange,
     "2\n4\n3\n5\n0\n1\n1\n0\n0\nC:\\data\\lineA", Where::Beside},
    {"values out of range and a word", "-1\n-1\nbank\n15\n1\n1\n1\n0\n7\nx", Where::Beside, false,
     {0, 4, 0, 14, true, true, true, true, "x"}, kNoChange, "0\n4\n0\n14\n1\n1\n1\n0\n1\nx",
     Where::Beside},
    {"a port index the list cannot show", "9\n4\n0\n14\n1\n1\n1\n0\n0\nx", Where::Beside, false,
     {0, 4, 0, 14, true, true, true, false, "x"}, kNoChange, "0\n4\n0\n14\n1\n1\n1\n0\n0\nx",
     Where::Beside},
    // Six characters per line: "00002\n" fits, "0000003\n" leaves "3\n" for
    // the next line and every later value moves down one line.
    {"an over-long numeric line", "00002\n4\n0000003\n1\n0\n1\n0\n1\n0\nname", Where::Beside,
     false, {2, 4, 0, 3, true, false, true, true, "0"}, kNoChange,
     "2\n4\n0\n3\n1\n0\n1\n0\n1\n0", Where::Beside},
    {"an emptied file-name field", "0\n4\n0\n14\n1\n1\n1\n0\n0\n", Where::Beside, false,
     {0, 4, 0, 14, true, true, true, false, ""}, kNoChange, "0\n4\n0\n14\n1\n1\n1\n0\n0\n",
     Where::Beside},
    {"no port selected at EXIT", nullptr, Where::Nowhere, false, kFirstStart,
     [](DialogControls& controls) { controls.SetListSelection(kCtlPortList, -1); },
     "-1\n4\n0\n14\n1\n1\n1\n0\n0\nUntitled", Where::Beside},
    {"a file that ends before line 9", "3\n1\n5\n", Where::Beside, false,
     {3, 4, 5, 14, true, true, true, false, "Untitled"}, kNoChange,
     "3\n4\n5\n14\n1\n1\n1\n0\n0\nUntitled", Where::Beside},
    {"a file edited with CR LF line ends", "1\r\n4\r\n2\r\n6\r\n1\r\n0\r\n0\r\n0\r\n0\r\n/data/lineB\r\n",
     Where::Beside, false, {1, 4, 2, 6, true, false, false, false, "/data/lineB"}, kNoChange,
     "1\n4\n2\n6\n1\n0\n0\n0\n0\n/data/lineB", Where::Beside},
    {"saved by an editor as UTF-8 with a mark, CR LF",
     "\xEF\xBB\xBF" "2\r\n1\r\n3\r\n00005\r\n0\r\n1\r\n1\r\n1\r\n1\r\n/data/Pr\u00fcfung\r\n",
     Where::Beside, false, {2, 1, 3, 5, false, true, true, true, "/data/Pr\u00fcfung"}, kNoChange,
     "2\n1\n3\n5\n0\n1\n1\n0\n1\n/data/Pr\u00fcfung", Where::Beside},
    {"read-only folder, first start", nullptr, Where::Nowhere, true, kFirstStart, kNoChange,
     kFirstStartFile, Where::Config},
    {"read-only folder, file in the config folder", "3\n4\n0\n14\n0\n0\n1\n0\n0\nlineC",
     Where::Config, true, {3, 4, 0, 14, false, false, true, false, "lineC"},
     [](DialogControls& controls) { controls.SetListSelection(kCtlEndBank, 7); },
     "3\n4\n0\n7\n0\n0\n1\n0\n0\nlineC", Where::Config},
    {"read-only folder with a writable file beside: rewritten in place",
     "4\n4\n1\n2\n1\n1\n1\n0\n0\nlineD", Where::Beside, true,
     {4, 4, 1, 2, true, true, true, false, "lineD"},
     [](DialogControls& controls) { controls.SetListSelection(kCtlStartBank, 0); },
     "4\n4\n0\n2\n1\n1\n1\n0\n0\nlineD", Where::Beside},
    {"read-only folder with a longer writable file beside: its tail goes",
     "4\n4\n1\n2\n1\n1\n1\n0\n0\nlineD, the line's old name", Where::Beside, true,
     {4, 4, 1, 2, true, true, true, false, "lineD, the line's old name"},
     [](DialogControls& controls) { controls.SetControlText(kCtlBaseName, "lineD"); },
     "4\n4\n1\n2\n1\n1\n1\n0\n0\nlineD", Where::Beside},
    {"read-only folder with a read-only file beside: the save fails",
     "4\n4\n1\n2\n1\n1\n1\n0\n0\nlineD", Where::Beside, true,
     {4, 4, 1, 2, true, true, true, false, "lineD"}, kNoChange, nullptr, Where::Nowhere, true},
};

// The controls after start-up, and the program-wide values that follow
// what was loaded.
void ExpectShown(const DialogControls& controls, const SettingsChoices& loaded, const Shown& s) {
  EXPECT_EQ(controls.ListSelection(kCtlPortList), s.portIndex);
  EXPECT_EQ(controls.ListSelection(kCtlSpeedList), s.speedIndex);
  EXPECT_EQ(controls.ListSelection(kCtlStartBank), s.startBank);
  EXPECT_EQ(controls.ListSelection(kCtlEndBank), s.endBank);
  EXPECT_EQ(controls.IsChecked(kCtlCommonParams), s.common);
  EXPECT_EQ(controls.IsChecked(kCtlBrightComp), s.bright);
  EXPECT_EQ(controls.IsChecked(kCtlBankParams), s.bank);
  EXPECT_FALSE(controls.IsChecked(kCtlPatterns));
  EXPECT_EQ(controls.IsChecked(kCtlComModeBox), s.commandMode);
  EXPECT_EQ(controls.ControlText(kCtlBaseName), s.baseName);
  EXPECT_EQ(loaded.portNo, s.portIndex + 1);
  EXPECT_EQ(loaded.startBank, s.startBank);
  EXPECT_EQ(loaded.endBank, s.endBank);
  EXPECT_EQ(loaded.commonParams, s.common ? 1 : 0);
  EXPECT_EQ(loaded.brightComp, s.bright ? 1 : 0);
  EXPECT_EQ(loaded.bankParams, s.bank ? 1 : 0);
  EXPECT_EQ(loaded.patterns, 0);
}

TEST(SettingsFile, StoredChoicesStartTheDialogAndExitWritesThemBack) {
  for (const SettingsCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const TempFolder folder("zema-settings");
    const fs::path bin = folder / "bin";
    const fs::path config = folder / "config";
    fs::create_directories(bin);
    const fs::path beside = bin / "zema-loader.ini";
    const fs::path inConfig = config / "zema-loader" / "zema-loader.ini";
    const fs::path& storedPath = c.storedAt == Where::Config ? inConfig : beside;
    if (c.stored != nullptr) Put(storedPath, c.stored);
    if (c.readOnlyFile) fs::permissions(storedPath, fs::perms::owner_read);

    FakeControls controls;
    ScriptedOperator dialogs;
    {
      std::optional<ReadOnlyFolder> readOnly;
      if (c.readOnlyFolder) readOnly.emplace(bin);
      // Start-up: the file is found, read, and the com-mode handler runs.
      const std::string path = SettingsPathFor((bin / "zema-loader").string(), config.string());
      const SettingsChoices loaded = LoadSettings(path, controls);
      ApplyComMode(controls);
      ExpectShown(controls, loaded, c.shown);
      if (c.operatorChanges) c.operatorChanges(controls);
      SaveSettings(path, controls, dialogs);
    }

    if (c.saved == nullptr) {
      ASSERT_EQ(dialogs.boxes.size(), 1u);
      EXPECT_EQ(dialogs.boxes[0].text, "Failed to write a setup file.");
      EXPECT_FALSE(dialogs.boxes[0].question);
      // The detail names the file and the system's reason.
      EXPECT_EQ(dialogs.boxes[0].detail.rfind(storedPath.string() + ": ", 0), 0u)
          << dialogs.boxes[0].detail;
      EXPECT_EQ(ReadFileBytes(storedPath), c.stored) << "the earlier file stays whole";
      EXPECT_EQ(Entries(bin), 1);
    } else {
      EXPECT_TRUE(dialogs.boxes.empty());
      const bool savedInConfig = c.savedAt == Where::Config;
      EXPECT_EQ(ReadFileBytes(savedInConfig ? inConfig : beside), c.saved);
      // Nothing else is left in either folder: no temporary file, no file
      // in the other place.
      EXPECT_EQ(Entries(bin), savedInConfig ? 0 : 1);
      EXPECT_EQ(Entries(inConfig.parent_path()), savedInConfig ? 1 : 0);
    }
  }
}

TEST(SettingsLocation, NamedAfterTheExecutableInItsFolder) {
  const struct {
    const char* executable;
    const char* settings;
  } kNames[] = {
      {"/usr/local/bin/zema-loader", "/usr/local/bin/zema-loader.ini"},
      {"C:/ZEMA/loader.exe", "C:/ZEMA/loader.ini"},
      {"/home/op/tools.v2/zema-loader", "/home/op/tools.v2/zema-loader.ini"},
      {"/opt/zema/zema-loader.bin", "/opt/zema/zema-loader.ini"},
  };
  for (const auto& name : kNames) {
    EXPECT_EQ(SettingsPathBeside(name.executable), name.settings);
    // Without a config home the file stays beside, writable folder or not.
    EXPECT_EQ(SettingsPathFor(name.executable, "", [](const std::string&) { return false; }),
              name.settings);
  }
  const TempFolder folder("zema-settings-probe");
  EXPECT_TRUE(FolderIsWritable(folder.path().string()));
  EXPECT_FALSE(FolderIsWritable((folder / "missing").string()));
  EXPECT_EQ(Entries(folder), 0) << "the probe leaves nothing behind";
  EXPECT_EQ(ExecutablePath(), fs::read_symlink("/proc/self/exe").string());
}

}  // namespace
