// The inventory a person writes: what a sensor gets from [defaults], and
// that every mistake names the file, the line and the key.
#include <gtest/gtest.h>

#include "backup/inventory.h"

namespace zema {

TEST(BackupInventory, SensorsTakeTheDefaultsTheyDoNotOverride) {
  const Inventory inventory = ParseInventory(R"([defaults]
mode = "command"
speed = 3
copy = ["params", "common"]

[[sensor]]
name = "press-1"
port = 3

[[sensor]]
name = "oven"
url = "rfc2217://[fe80::1]:4001"
mode = "menu"
copy = "all"
banks = "2-4"
)",
                                             "lines.toml");
  ASSERT_TRUE(inventory.errors.empty()) << inventory.errors[0].Text();
  ASSERT_EQ(inventory.sensors.size(), 2u);
  const InventorySensor& press = inventory.sensors[0];
  EXPECT_EQ(press.line, 6);
  EXPECT_EQ(press.place, (SensorPlace{SensorPlace::Kind::Port, 3, {}}));
  EXPECT_EQ(press.connection, (SensorConnection{true, 19200, false}));
  EXPECT_EQ(press.copy, (CopySelection{true, true, false, false, 0, 14}));
  const InventorySensor& oven = inventory.sensors[1];
  EXPECT_EQ(oven.place.kind, SensorPlace::Kind::Url);
  EXPECT_EQ(oven.connection, SensorConnection{});
  EXPECT_EQ(oven.copy, (CopySelection{true, true, true, true, 2, 4}));
}

TEST(BackupInventory, EveryMistakeNamesFileLineAndKey) {
  const struct {
    const char* text;
    const char* error;  // the start of the first error's text
  } cases[] = {
      {"[[sensor]]\nname = \"a\"\nport = 1\nprot = 2\n", "lines.toml:4: prot: unknown key"},
      {"[[sensor]]\nname = \"a\"\nmode = \"menu\"\n", "lines.toml:1: sensor \"a\": says not where"},
      {"[[sensor]]\nname = \"a\"\nurl = \"rfc2217://host\"\n", "lines.toml:3: url: \"rfc2217://"},
      {"[[sensor]]\nname = \"a\"\nurl = \"telnet://h:23\"\n", "lines.toml:3: url: "},
      {"[[sensor]]\nname = \"a\"\nport = 1\n\n[[sensor]]\nname = \"A\"\nport = 2\n",
       "lines.toml:6: name: \"A\" is the name of the sensor at line 1"},
      {"[[sensor]]\nname = \"a/b\"\nport = 1\n", "lines.toml:2: name: \"a/b\" cannot be"},
      {"[[sensor]]\nname = \"a\"\nport = 1\ndevice = \"/dev/ttyS0\"\n", "lines.toml:4: device: "},
      {"[[sensor]]\nname = \"a\"\nport = 300\n", "lines.toml:3: port: is a COM number"},
      {"[[sensor]]\nname = \"a\"\nport = 1\nmode = \"command\"\n", "lines.toml:1: sensor \"a\": "},
      {"[[sensor]]\nname = \"a\"\nport = 1\nspeed = 19200\n", "lines.toml:4: speed: is for"},
      {"[[sensor]]\nname = \"a\"\nport = 1\ncopy = [\"param\"]\n", "lines.toml:4: copy: "},
      {"[[sensor]]\nname = \"a\"\nport = 1\nbanks = \"4-2\"\n", "lines.toml:4: banks: "},
      {"[defaults]\nport = 1\n", "lines.toml:2: port: belongs to a [[sensor]]"},
      {"[sensor]\nname = \"a\"\n", "lines.toml:1: sensor: write [[sensor]]"},
      {"[[sensors]]\nname = \"a\"\n", "lines.toml:1: sensors: unknown key"},
      {"[[sensor]]\nname = \"a\"\nport = \n", "lines.toml:3: TOML: "},
      {"# nothing yet\n", "lines.toml:1: [[sensor]]: none"},
  };
  for (const auto& c : cases) {
    const Inventory inventory = ParseInventory(c.text, "lines.toml");
    ASSERT_FALSE(inventory.errors.empty()) << c.text;
    EXPECT_TRUE(inventory.sensors.empty()) << c.text;
    EXPECT_EQ(inventory.errors[0].Text().rfind(c.error, 0), 0u)
        << c.text << "gave: " << inventory.errors[0].Text();
  }
}

}  // namespace zema
