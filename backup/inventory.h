// The inventory of a line: the file a person writes (TOML) that names every
// sensor, where it is, how it is reached and what of it to copy.
//
//   [defaults]                # for every sensor below, unless it says otherwise
//   mode = "command"          # "menu" (PC LOAD/SAVE shown) or "command" (running)
//   speed = 19200             # command mode's line speed
//   copy = "all"              # or some of ["params", "common", "compensation", "patterns"]
//   banks = "0-14"            # the banks of params and patterns: "A-B" or one bank
//
//   [[sensor]]
//   name = "press-1"          # its folder in the backups
//   port = 3                  # or device = "...", adapter-serial = "...", url = "..."
//
// Every mistake is reported with the file, the line and the key; a key the
// format does not know is a mistake too, so that a misspelt key never
// leaves a sensor backed up in some other way than meant.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zema {

// Where a sensor is: one of a COM number, a device path, the USB serial
// number of its adapter, or a serial device server's address.
struct SensorPlace {
  enum class Kind { Port, Device, AdapterSerial, Url };
  Kind kind = Kind::Port;
  int port = 0;      // Port: 1 to 256
  std::string text;  // Device, AdapterSerial, Url

  // The inventory's key for this kind: "port", "device", "adapter-serial", "url".
  std::string_view Key() const;
  // "port = 3", "device = /dev/ttyUSB0", ...
  std::string Describe() const;
  bool operator==(const SensorPlace&) const = default;
};

// How the sensor is reached once its port is open, as the command line's
// --command-mode, --speed and --assume-pc-mode take it.
struct SensorConnection {
  bool commandMode = false;  // false: the sensor shows its "PC LOAD/SAVE" menu
  int speed = 0;             // command mode's baud rate: 4800 to 57600
  bool assumePcMode = false;
  bool operator==(const SensorConnection&) const = default;
};

// What to copy: the kinds of --params, --common, --compensation,
// --patterns and the bank range of --banks.
struct CopySelection {
  bool params = false;
  bool common = false;
  bool compensation = false;
  bool patterns = false;
  int firstBank = 0;
  int lastBank = 14;

  bool Empty() const { return !params && !common && !compensation && !patterns; }
  bool operator==(const CopySelection&) const = default;
};

struct InventorySensor {
  std::string name;
  int line = 0;  // of its [[sensor]] header
  SensorPlace place;
  SensorConnection connection;
  CopySelection copy;
};

struct InventoryError {
  std::string file;
  int line = 0;
  std::string key;
  std::string what;

  // "lines.toml:7: port: 300 is not a COM number (1 to 256)"
  std::string Text() const;
};

struct Inventory {
  std::vector<InventorySensor> sensors;
  std::vector<InventoryError> errors;  // empty when the inventory may be used
};

// Reads an inventory from its text; `file` names it in the errors.
Inventory ParseInventory(std::string_view text, const std::string& file);
// Reads the inventory file at `path` (UTF-8).
Inventory LoadInventory(const std::string& path);

// A sensor's name is its folder: letters, digits, "-", "_" and ".", at most
// 64 characters, not beginning with "." (a hidden folder is a backup in
// the making).
bool IsSensorName(std::string_view name);

// "rfc2217://HOST:PORT" or "socket://HOST:PORT", HOST a name, an IPv4
// address or an IPv6 address in brackets, PORT 1 to 65535. The form only:
// nothing is looked up.
bool IsServerUrl(std::string_view url);

// The baud rate a speed stands for: 4800, 9600, 19200, 38400, 57600 as
// they are, the sensor's COMMUNIC values 1 to 5 for them; 0 for anything
// else.
int BaudOfSpeed(long long speed);

}  // namespace zema
