#include "backup/inventory.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "formats/source_file.h"
#include "link/commands.h"
#include "link/serial_port.h"

namespace {

constexpr std::string_view kSensorKeys =
    "name, port, device, adapter-serial, url, mode, speed, assume-pc-mode, copy, banks";
constexpr std::string_view kDefaultKeys = "mode, speed, assume-pc-mode, copy, banks";
constexpr std::string_view kKinds =
    "\"params\", \"common\", \"compensation\", \"patterns\", \"all\"";

int LineOf(const toml::source_region& source) { return static_cast<int>(source.begin.line); }

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text).push_back('"');
  return quoted;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// What a [defaults] table or a [[sensor]] table says; a sensor's own word
// wins over the defaults'.
struct Settings {
  std::optional<bool> commandMode;
  std::optional<int> speed;
  int speedLine = 0;
  std::optional<bool> assumePcMode;
  int assumeLine = 0;
  std::optional<CopySelection> copy;  // kinds only
  std::optional<std::pair<int, int>> banks;
};

class InventoryReader {
 public:
  InventoryReader(const std::string& file, Inventory& inventory)
      : file_(file), inventory_(inventory) {}

  void Fail(int line, std::string key, std::string what) {
    inventory_.errors.push_back({file_, line, std::move(key), std::move(what)});
  }
  void Fail(const toml::node& node, std::string key, std::string what) {
    Fail(LineOf(node.source()), std::move(key), std::move(what));
  }

  // Reads a key that [defaults] and [[sensor]] share; false when the key
  // is none of them.
  bool ReadSetting(const std::string& key, const toml::node& value, Settings& settings) {
    if (key == "mode") {
      const std::optional<std::string> mode = value.value_exact<std::string>();
      if (mode == "menu" || mode == "command") {
        settings.commandMode = *mode == "command";
      } else {
        Fail(value, key,
             "is \"menu\" (the sensor shows PC LOAD/SAVE) or \"command\" (it is "
             "running)");
      }
    } else if (key == "speed") {
      const std::optional<long long> speed = value.value_exact<long long>();
      const int baud = speed ? BaudOfSpeed(*speed) : 0;
      if (baud == 0) {
        Fail(value, key, "is 4800, 9600, 19200, 38400 or 57600, or the COMMUNIC value 1 to 5");
      } else {
        settings.speed = baud;
        settings.speedLine = LineOf(value.source());
      }
    } else if (key == "assume-pc-mode") {
      if (const std::optional<bool> flag = value.value_exact<bool>()) {
        settings.assumePcMode = *flag;
        settings.assumeLine = LineOf(value.source());
      } else {
        Fail(value, key, "is true or false");
      }
    } else if (key == "copy") {
      ReadCopy(value, settings);
    } else if (key == "banks") {
      ReadBanks(value, settings);
    } else {
      return false;
    }
    return true;
  }

  void ReadCopy(const toml::node& value, Settings& settings) {
    std::vector<const toml::node*> words;
    if (const toml::array* list = value.as_array()) {
      for (const toml::node& word : *list) words.push_back(&word);
    } else {
      words.push_back(&value);
    }
    CopySelection copy;
    for (const toml::node* word : words) {
      const std::optional<std::string> kind = word->value_exact<std::string>();
      if (kind == "params" || kind == "all") copy.params = true;
      if (kind == "common" || kind == "all") copy.common = true;
      if (kind == "compensation" || kind == "all") copy.compensation = true;
      if (kind == "patterns" || kind == "all") copy.patterns = true;
      if (kind != "params" && kind != "common" && kind != "compensation" && kind != "patterns" &&
          kind != "all") {
        Fail(*word, "copy", "takes " + std::string(kKinds) + " or a list of them");
        return;
      }
    }
    if (copy.Empty()) {
      Fail(value, "copy", "copies nothing: name " + std::string(kKinds));
      return;
    }
    settings.copy = copy;
  }

  void ReadBanks(const toml::node& value, Settings& settings) {
    int first = -1;
    int last = -1;
    if (const std::optional<long long> bank = value.value_exact<long long>()) {
      if (*bank >= 0 && *bank < kBankCount) first = last = static_cast<int>(*bank);
    } else if (const std::optional<std::string> range = value.value_exact<std::string>()) {
      ParseRange(*range, first, last);
    }
    if (first < 0 || last < first || last >= kBankCount) {
      Fail(value, "banks", "is \"A-B\" or one bank N, banks 0 to 14, A not above B");
      return;
    }
    settings.banks = std::make_pair(first, last);
  }

  static void ParseRange(std::string_view text, int& first, int& last) {
    const auto number = [](std::string_view digits, int& value) {
      const char* end = digits.data() + digits.size();
      const auto [at, error] = std::from_chars(digits.data(), end, value);
      return !digits.empty() && error == std::errc() && at == end;
    };
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
      if (number(text, first)) last = first;
    } else if (!number(text.substr(0, dash), first) || !number(text.substr(dash + 1), last)) {
      first = last = -1;
    }
  }

  void ReadDefaults(const toml::node& node) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
      Fail(node, "defaults", "is a table: write [defaults] on a line of its own");
      return;
    }
    for (auto&& [key, value] : *table) {
      const std::string name(key.str());
      if (name == "name" || name == "port" || name == "device" || name == "adapter-serial" ||
          name == "url") {
        Fail(LineOf(key.source()), name, "belongs to a [[sensor]], not to [defaults]");
      } else if (!ReadSetting(name, value, defaults_)) {
        Fail(LineOf(key.source()), name,
             "unknown key; [defaults] takes " + std::string(kDefaultKeys));
      }
    }
  }

  void ReadSensor(const toml::node& node) {
    const toml::table* table = node.as_table();
    if (table == nullptr) {
      Fail(node, "sensor", "is a table: write [[sensor]] on a line of its own above each sensor");
      return;
    }
    InventorySensor sensor;
    sensor.line = LineOf(table->source());
    Settings own;
    std::vector<std::pair<std::string, const toml::node*>> places;
    int nameLine = sensor.line;
    for (auto&& [key, value] : *table) {
      const std::string name(key.str());
      if (name == "name") {
        nameLine = LineOf(value.source());
        ReadName(value, sensor);
      } else if (name == "port" || name == "device" || name == "adapter-serial" || name == "url") {
        places.emplace_back(name, &value);
      } else if (!ReadSetting(name, value, own)) {
        Fail(LineOf(key.source()), name,
             "unknown key; a [[sensor]] takes " + std::string(kSensorKeys));
      }
    }
    // The table comes sorted by key: the first place in the file counts.
    std::sort(places.begin(), places.end(), [](const auto& a, const auto& b) {
      return LineOf(a.second->source()) < LineOf(b.second->source());
    });
    for (const auto& [name, value] : places) {
      if (name == places.front().first) continue;
      Fail(*value, name,
           "says where the sensor is, and so does " + places.front().first + " at line " +
               std::to_string(LineOf(places.front().second->source())) + ": keep one");
    }
    if (!places.empty()) ReadPlace(places.front().first, *places.front().second, sensor.place);
    const std::string label =
        sensor.name.empty() ? std::string("[[sensor]]") : "sensor " + Quoted(sensor.name);
    if (!table->contains("name")) {
      Fail(sensor.line, "name", "missing: every [[sensor]] has a name, its backups' folder");
    }
    if (places.empty()) {
      Fail(sensor.line, label,
           "says not where the sensor is: give port, device, adapter-serial or url");
    }
    Merge(own, sensor, label);
    CheckUnique(sensor, nameLine);
    inventory_.sensors.push_back(std::move(sensor));
  }

  void ReadName(const toml::node& value, InventorySensor& sensor) {
    const std::optional<std::string> name = value.value_exact<std::string>();
    if (!name || !IsSensorName(*name)) {
      Fail(value, "name",
           (name ? Quoted(*name) : std::string("this")) +
               " cannot be a folder's name: use letters, digits, \"-\", \"_\" and \".\", at "
               "most 64, not beginning with \".\"");
      return;
    }
    sensor.name = *name;
  }

  void ReadPlace(const std::string& key, const toml::node& value, SensorPlace& place) {
    if (key == "port") {
      const std::optional<long long> port = value.value_exact<long long>();
      if (!port || *port < kFirstPort || *port > kLastPort) {
        Fail(value, key, "is a COM number, 1 to 256");
        return;
      }
      place = {SensorPlace::Kind::Port, static_cast<int>(*port), {}};
      return;
    }
    const std::optional<std::string> text = value.value_exact<std::string>();
    if (!text || text->empty()) {
      Fail(value, key, "is a text in quotes");
      return;
    }
    if (key == "url") {
      if (!IsServerUrl(*text)) {
        Fail(value, key, Quoted(*text) + " is not rfc2217://HOST:PORT or socket://HOST:PORT");
        return;
      }
      place = {SensorPlace::Kind::Url, 0, *text};
    } else if (key == "device") {
      if (text->find("://") != std::string::npos) {
        Fail(value, key, Quoted(*text) + " is a server's address: write url = " + Quoted(*text));
        return;
      }
      place = {SensorPlace::Kind::Device, 0, *text};
    } else {
      place = {SensorPlace::Kind::AdapterSerial, 0, *text};
    }
  }

  // The sensor's own settings over the defaults; a speed or assume-pc-mode
  // the sensor gives itself must fit its mode, one it inherits need not.
  void Merge(const Settings& own, InventorySensor& sensor, const std::string& label) {
    SensorConnection& connection = sensor.connection;
    connection.commandMode = own.commandMode.value_or(defaults_.commandMode.value_or(false));
    if (!connection.commandMode) {
      if (own.speed) {
        Fail(own.speedLine, "speed",
             "is for mode = \"command\"; in its PC LOAD/SAVE menu the sensor talks at 57600");
      }
      if (own.assumePcMode) Fail(own.assumeLine, "assume-pc-mode", "is for mode = \"command\"");
    } else {
      connection.speed = own.speed.value_or(defaults_.speed.value_or(0));
      connection.assumePcMode = own.assumePcMode.value_or(defaults_.assumePcMode.value_or(false));
      if (connection.speed == 0) {
        Fail(sensor.line, label, "is in command mode without a speed: give speed = 4800 to 57600");
      }
    }
    CopySelection all;
    all.params = all.common = all.compensation = all.patterns = true;
    sensor.copy = own.copy.value_or(defaults_.copy.value_or(all));
    const auto banks = own.banks.value_or(defaults_.banks.value_or(std::make_pair(0, 14)));
    sensor.copy.firstBank = banks.first;
    sensor.copy.lastBank = banks.second;
  }

  // Folder names that differ only in case are one folder on Windows.
  void CheckUnique(const InventorySensor& sensor, int nameLine) {
    if (sensor.name.empty()) return;
    const auto [taken, fresh] = names_.emplace(Lower(sensor.name), sensor.line);
    if (!fresh) {
      Fail(nameLine, "name",
           Quoted(sensor.name) + " is the name of the sensor at line " +
               std::to_string(taken->second) + " too (names may not differ only in case)");
    }
  }

  void Read(const toml::table& root) {
    if (const toml::node* defaults = root.get("defaults")) ReadDefaults(*defaults);
    for (auto&& [key, value] : root) {
      const std::string name(key.str());
      if (name == "defaults") continue;
      if (name != "sensor") {
        Fail(LineOf(key.source()), name,
             "unknown key; an inventory holds [defaults] and one [[sensor]] table per sensor");
        continue;
      }
      if (const toml::array* sensors = value.as_array()) {
        for (const toml::node& sensor : *sensors) ReadSensor(sensor);
      } else {
        Fail(value, name, "write [[sensor]] (two brackets) above each sensor");
      }
    }
    if (inventory_.sensors.empty() && inventory_.errors.empty()) {
      Fail(1, "[[sensor]]", "none: the inventory names no sensor");
    }
  }

 private:
  const std::string& file_;
  Inventory& inventory_;
  Settings defaults_;
  std::map<std::string, int> names_;
};

bool IsHostName(std::string_view host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    return host.find_first_not_of("0123456789abcdefABCDEF:.", 1) == host.size() - 1;
  }
  return !host.empty() && host.find_first_not_of(
                              "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRS"
                              "TUVWXYZ0123456789.-") == std::string_view::npos;
}

}  // namespace

std::string_view SensorPlace::Key() const {
  switch (kind) {
    case Kind::Port:
      return "port";
    case Kind::Device:
      return "device";
    case Kind::AdapterSerial:
      return "adapter-serial";
    case Kind::Url:
      break;
  }
  return "url";
}

std::string SensorPlace::Describe() const {
  return std::string(Key()) + " = " + (kind == Kind::Port ? std::to_string(port) : text);
}

std::string InventoryError::Text() const {
  std::string text = file;
  if (line > 0) text.append(":").append(std::to_string(line));
  return text.append(": ").append(key).append(": ").append(what);
}

bool IsSensorName(std::string_view name) {
  return !name.empty() && name.size() <= 64 && name.front() != '.' &&
         name.find_first_not_of(
             "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
             "-_.") == std::string_view::npos;
}

bool IsServerUrl(std::string_view url) {
  std::string_view rest;
  for (const std::string_view scheme : {"rfc2217://", "socket://"}) {
    if (url.starts_with(scheme)) rest = url.substr(scheme.size());
  }
  const std::size_t colon = rest.rfind(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view digits = rest.substr(colon + 1);
  int port = 0;
  const auto [at, error] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
  return IsHostName(rest.substr(0, colon)) && !digits.empty() && error == std::errc() &&
         at == digits.data() + digits.size() && port >= 1 && port <= 65535;
}

int BaudOfSpeed(long long speed) {
  static constexpr int kBauds[] = {4800, 9600, 19200, 38400, 57600};
  if (speed >= 1 && speed <= 5) return kBauds[speed - 1];
  return std::find(std::begin(kBauds), std::end(kBauds), speed) != std::end(kBauds)
             ? static_cast<int>(speed)
             : 0;
}

Inventory ParseInventory(std::string_view text, const std::string& file) {
  Inventory inventory;
  InventoryReader reader(file, inventory);
  toml::parse_result parsed = toml::parse(text, file);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    reader.Fail(LineOf(error.source()), "TOML", std::string(error.description()));
    return inventory;
  }
  reader.Read(parsed.table());
  // Tables come sorted by key; a person reads the file from the top.
  std::stable_sort(
      inventory.errors.begin(), inventory.errors.end(),
      [](const InventoryError& a, const InventoryError& b) { return a.line < b.line; });
  if (!inventory.errors.empty()) inventory.sensors.clear();
  return inventory;
}

Inventory LoadInventory(const std::string& path) {
  SourceFile file;
  errno = 0;
  if (!file.Open(path)) {
    Inventory inventory;
    inventory.errors.push_back(
        {path, 0, "file", errno != 0 ? std::strerror(errno) : "not a regular file"});
    return inventory;
  }
  std::string text;
  char buffer[4096];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.stream())) {
    text.append(buffer, got);
  }
  return ParseInventory(text, path);
}
