#include "backup/manifest.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>

#include "formats/source_file.h"

using json = nlohmann::ordered_json;

namespace {

constexpr int kFormat = 1;

// Reads the fields of one JSON object; the first mistake is kept.
class Fields {
 public:
  Fields(const json& object, std::string where, std::string& error)
      : object_(object), where_(std::move(where)), error_(error) {
    if (!object_.is_object()) Fail("", "is not an object");
  }

  bool ok() const { return error_.empty(); }

  const json* Get(const char* key, json::value_t type) {
    if (!ok()) return nullptr;
    const auto found = object_.find(key);
    if (found == object_.end()) {
      Fail(key, "is missing");
      return nullptr;
    }
    const bool fits = found->type() == type || (type == json::value_t::number_unsigned &&
                                                found->is_number_integer() && *found >= 0);
    if (!fits) {
      Fail(key, "has the wrong kind of value");
      return nullptr;
    }
    return &*found;
  }
  bool Text(const char* key, std::string& value) {
    const json* field = Get(key, json::value_t::string);
    if (field != nullptr) value = field->get<std::string>();
    return field != nullptr;
  }
  bool Flag(const char* key, bool& value) {
    const json* field = Get(key, json::value_t::boolean);
    if (field != nullptr) value = field->get<bool>();
    return field != nullptr;
  }
  bool Count(const char* key, std::uint64_t& value) {
    const json* field = Get(key, json::value_t::number_unsigned);
    if (field != nullptr) value = field->get<std::uint64_t>();
    return field != nullptr;
  }
  void Fail(std::string_view key, std::string_view what) {
    if (!ok()) return;
    error_ = where_ + (key.empty() ? "" : (where_.empty() ? "" : ".") + std::string(key)) + " " +
             std::string(what);
  }

 private:
  const json& object_;
  std::string where_;
  std::string& error_;
};

bool IsDigest(const std::string& text) {
  return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// A plain name in the folder: a name with a folder part could make a
// restore read, or a clean-up delete, a file outside the backup.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("/\\:") == std::string::npos && name.find('\0') == std::string::npos;
}

json PlaceJson(const SensorPlace& place) {
  json where = json::object();
  if (place.kind == SensorPlace::Kind::Port) {
    where["port"] = place.port;
  } else {
    where[std::string(place.Key())] = place.text;
  }
  return where;
}

void ReadPlace(const json& object, SensorPlace& place, std::string& error) {
  Fields fields(object, "where", error);
  if (!fields.ok()) return;
  if (object.size() != 1) return fields.Fail("", "names not exactly one place");
  const std::string key = object.begin().key();
  if (key == "port") {
    std::uint64_t port = 0;
    if (fields.Count("port", port)) place = {SensorPlace::Kind::Port, static_cast<int>(port), {}};
    if (fields.ok() && (port < 1 || port > 256)) fields.Fail("port", "is not 1 to 256");
    return;
  }
  SensorPlace::Kind kind = SensorPlace::Kind::Device;
  if (key == "adapter-serial") kind = SensorPlace::Kind::AdapterSerial;
  if (key == "url") kind = SensorPlace::Kind::Url;
  if (key != "device" && kind == SensorPlace::Kind::Device) {
    return fields.Fail(key, "is no kind of place");
  }
  place.kind = kind;
  place.port = 0;
  fields.Text(key.c_str(), place.text);
}

void ReadCopied(const json& object, CopySelection& copied, std::string& error) {
  Fields fields(object, "copied", error);
  const json* kinds = fields.Get("kinds", json::value_t::array);
  std::string banks;
  if (!fields.Text("banks", banks)) return;
  copied = CopySelection{};
  for (const json& kind : *kinds) {
    const std::string name = kind.is_string() ? kind.get<std::string>() : std::string();
    bool* flag = name == "params"         ? &copied.params
                 : name == "common"       ? &copied.common
                 : name == "compensation" ? &copied.compensation
                 : name == "patterns"     ? &copied.patterns
                                          : nullptr;
    if (flag == nullptr) return fields.Fail("kinds", "holds an unknown kind");
    *flag = true;
  }
  unsigned first = 0;
  unsigned last = 0;
  char end = 0;
  if (std::sscanf(banks.c_str(), "%2u-%2u%c", &first, &last, &end) != 2 || first > last ||
      last > 14) {
    return fields.Fail("banks", "is not a bank range \"A-B\"");
  }
  copied.firstBank = static_cast<int>(first);
  copied.lastBank = static_cast<int>(last);
}

}  // namespace

std::vector<std::string> KindNames(const CopySelection& copied) {
  std::vector<std::string> kinds;
  if (copied.params) kinds.push_back("params");
  if (copied.common) kinds.push_back("common");
  if (copied.compensation) kinds.push_back("compensation");
  if (copied.patterns) kinds.push_back("patterns");
  return kinds;
}

std::string ManifestText(const Manifest& m) {
  json files = json::array();
  for (const ManifestFile& file : m.files) {
    files.push_back({{"name", file.name}, {"size", file.size}, {"sha256", file.sha256}});
  }
  const json text = {
      {"format", kFormat},
      {"program", m.program},
      {"sensor", m.sensor},
      {"where", PlaceJson(m.place)},
      {"connection",
       {{"mode", m.connection.commandMode ? "command" : "menu"},
        {"speed", m.connection.commandMode ? m.connection.speed : 57600},
        {"assume-pc-mode", m.connection.assumePcMode}}},
      {"copied",
       {{"kinds", KindNames(m.copied)},
        {"banks", std::to_string(m.copied.firstBank) + "-" + std::to_string(m.copied.lastBank)}}},
      {"base-name", m.baseName},
      {"started", m.started},
      {"ended", m.ended},
      {"files", files},
      {"outcome", m.outcome},
  };
  // A name that is not UTF-8 (a device path is bytes) must not stop the
  // backup: such bytes are written as U+FFFD.
  return text.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

bool ParseManifest(std::string_view text, Manifest& m, std::string& error) {
  error.clear();
  const json root = json::parse(text.begin(), text.end(), nullptr, false);
  if (root.is_discarded()) {
    error = "is not JSON";
    return false;
  }
  Fields fields(root, "", error);
  std::uint64_t format = 0;
  if (fields.Count("format", format) && format != kFormat) {
    fields.Fail("format", "is " + std::to_string(format) + ", not " + std::to_string(kFormat));
  }
  fields.Text("program", m.program);
  fields.Text("sensor", m.sensor);
  fields.Text("base-name", m.baseName);
  fields.Text("started", m.started);
  fields.Text("ended", m.ended);
  fields.Text("outcome", m.outcome);
  if (fields.ok() && !IsPlainName(m.baseName)) fields.Fail("base-name", "is not a file name");
  if (const json* where = fields.Get("where", json::value_t::object)) {
    ReadPlace(*where, m.place, error);
  }
  if (const json* connection = fields.Get("connection", json::value_t::object)) {
    Fields link(*connection, "connection", error);
    std::string mode;
    std::uint64_t speed = 0;
    if (link.Text("mode", mode) && mode != "menu" && mode != "command") {
      link.Fail("mode", "is neither \"menu\" nor \"command\"");
    }
    link.Count("speed", speed);
    link.Flag("assume-pc-mode", m.connection.assumePcMode);
    m.connection.commandMode = mode == "command";
    m.connection.speed = m.connection.commandMode ? static_cast<int>(speed) : 0;
  }
  if (const json* copied = fields.Get("copied", json::value_t::object)) {
    ReadCopied(*copied, m.copied, error);
  }
  m.files.clear();
  if (const json* files = fields.Get("files", json::value_t::array)) {
    for (const json& entry : *files) {
      Fields file(entry, "files[" + std::to_string(m.files.size()) + "]", error);
      ManifestFile item;
      file.Text("name", item.name);
      file.Count("size", item.size);
      file.Text("sha256", item.sha256);
      if (file.ok() && !IsPlainName(item.name)) file.Fail("name", "is not a file name");
      if (file.ok() && !IsDigest(item.sha256)) file.Fail("sha256", "is not a SHA-256");
      if (!file.ok()) break;
      m.files.push_back(std::move(item));
    }
  }
  return error.empty();
}

bool LoadManifest(const std::string& folder, Manifest& manifest, std::string& error) {
  SourceFile file;
  errno = 0;
  if (!file.Open(folder + "/" + kManifestName)) {
    error = std::string("cannot be read: ") +
            (errno != 0 ? std::strerror(errno) : "not a regular file");
    return false;
  }
  std::string text;
  char buffer[4096];
  while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.stream())) {
    text.append(buffer, got);
    // A manifest lists at most 32 files; anything this large is not one.
    if (text.size() > (1u << 20)) break;
  }
  return ParseManifest(text, manifest, error);
}
