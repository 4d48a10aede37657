// The port list's entries after COM9: which links count as ports, and how
// the settings file keeps a port after COM9 from one start to the next.
#include "console/port_choices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "console/settings_file.h"
#include "res/dialog_templates.h"
#include "support/file_bytes.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/temp_folder.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

bool Has(const std::vector<int>& ports, int port) {
  return std::find(ports.begin(), ports.end(), port) != ports.end();
}

// The dosdevices links of the user's configuration folder above COM9 are
// offered; names the link layer would never look up are not.
TEST(PortChoices, LinksAboveCom9AreOfferedInOrder) {
  const TempFolder config("zema-port-choices");
  const fs::path devices = config / "zema-loader/dosdevices";
  fs::create_directories(devices);
  for (const char* name : {"com13", "com10", "com9", "COM12", "com011", "com257", "comx"}) {
    fs::create_symlink("/dev/null", devices / name);
  }
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  const std::vector<int> present = PresentPortsAboveCom9();
  ::unsetenv("XDG_CONFIG_HOME");

  // Other tests' ports may lie beside this executable: only the names above
  // are looked at.
  EXPECT_TRUE(Has(present, 10) && Has(present, 13));
  for (int refused : {9, 11, 12, 257}) EXPECT_FALSE(Has(present, refused)) << refused;

  const PortChoices choices({13, 10, 13, 4});
  EXPECT_EQ(choices.ports(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13}));
  EXPECT_EQ(choices.PortAt(-1), 0);
}

// The file stores the port number - 1: 12 for COM13 wherever it stands in
// the list, and COM13 is chosen again only while the list offers it.
TEST(PortChoices, APortAfterCom9IsStoredAsItsNumberLessOne) {
  const TempFolder folder("zema-port-settings");
  const std::string path = (folder / "zema-loader.ini").string();
  const std::string rest = "4\n0\n14\n1\n1\n1\n0\n0\nline1";
  const struct {
    std::vector<int> present;
    const char* stored;
    int shownIndex;
    int port;
    const char* saved;
  } kCases[] = {
      {{13}, "12\n", 9, 13, "12\n"}, {{10, 13}, "12\n", 10, 13, "12\n"},
      {{}, "12\n", 0, 1, "0\n"},      // the adapter is gone
      {{13}, "8\n", 8, 9, "8\n"},     // COM9 as the original stored it
      {{300}, "299\n", 0, 1, "0\n"},  // beyond COM256
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.stored);
    WriteFileBytes(path, c.stored + rest);
    const PortChoices choices(c.present);
    FakeControls controls;
    ScriptedOperator dialogs;
    EXPECT_EQ(LoadSettings(path, controls, choices).portNo, c.port);
    EXPECT_EQ(controls.ListSelection(kCtlPortList), c.shownIndex);
    ASSERT_TRUE(SaveSettings(path, controls, dialogs, choices));
    EXPECT_EQ(ReadFileBytes(path), c.saved + rest);
  }
}

}  // namespace

}  // namespace zema
