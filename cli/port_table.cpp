#include "cli/port_table.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <string_view>

namespace zema {

namespace {

constexpr std::size_t kColumns = 8;
using Row = std::array<std::string, kColumns>;

// What the system names may be cut mid-character or in another encoding:
// a program name the kernel cut at 15 bytes, a USB string descriptor in
// Latin-1. Each invalid sequence (its longest start that could still have
// been valid) becomes U+FFFD, as the JSON output replaces it.
std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;                 // of the sequence the lead byte starts
    unsigned char low = 0x80, high = 0xBF;  // allowed second bytes (no overlong, no surrogate)
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    std::size_t taken = 1;
    while (taken < length && at + taken < text.size()) {
      const auto next = static_cast<unsigned char>(text[at + taken]);
      if (taken == 1 ? next < low || next > high : next < 0x80 || next > 0xBF) break;
      ++taken;
    }
    valid += taken == length ? text.substr(at, taken) : std::string_view("\xEF\xBF\xBD");
    at += taken;
  }
  return valid;
}

// Columns on a terminal: one per character, not per byte.
std::size_t Width(const std::string& utf8) {
  return static_cast<std::size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

std::string ComNames(const std::vector<int>& numbers) {
  std::string names;
  for (int n : numbers) names += (names.empty() ? "COM" : ",COM") + std::to_string(n);
  return names;
}

std::string UsbId(const SerialPortInfo& port) {
  return port.vendorId.empty() ? std::string() : port.vendorId + ":" + port.productId;
}

std::string Holders(const SerialPortInfo& port) {
  if (!port.inUse) return {};
  std::string text;
  for (const PortHolder& holder : port.holders) {
    if (!text.empty()) text += ", ";
    text += holder.program.empty() ? "pid " + std::to_string(holder.pid)
                                   : holder.program + " (" + std::to_string(holder.pid) + ")";
  }
  return text.empty() ? "another program" : text;
}

// What identifies the port beyond its row.
std::string Details(const SerialPortInfo& port) {
  std::vector<std::string> parts;
  if (port.virtualSensor) parts.push_back("virtual sensor (zema-sim)");
  if (port.missing) parts.push_back("the device the COM link names does not exist");
  if (port.deviceServer) parts.push_back("a port on a serial device server");
  if (!port.byId.empty()) parts.push_back(port.byId);
  if (!port.friendlyName.empty()) parts.push_back(port.friendlyName);
  if (port.latencyTimerMs >= 0) {
    parts.push_back("latency timer " + std::to_string(port.latencyTimerMs) + " ms");
  }
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "; ") + part;
  return text;
}

// How to make a USB adapter that no COM number reaches one, with the
// lowest free numbers.
std::string LinkHints(const std::vector<SerialPortInfo>& ports) {
  std::vector<int> taken;
  for (const SerialPortInfo& port : ports) {
    taken.insert(taken.end(), port.comNumbers.begin(), port.comNumbers.end());
  }
  std::string hints;
  int next = 1;
  for (const SerialPortInfo& port : ports) {
    if (port.vendorId.empty() || !port.comNumbers.empty()) continue;
    while (std::find(taken.begin(), taken.end(), next) != taken.end()) ++next;
    if (next > 256) break;
    hints += "  zema-transfer ports --link " + std::to_string(next) + " " + port.device + "\n";
    taken.push_back(next);
  }
  if (hints.empty()) return {};
  return "\nNo COM number reaches these adapters yet; to use one with the loader, link it:\n" +
         hints;
}

}  // namespace

std::string PortTable(const std::vector<SerialPortInfo>& ports) {
  if (ports.empty()) return "No serial port found.\n";
  std::vector<Row> rows = {
      {"DEVICE", "COM", "DRIVER", "USB ID", "SERIAL", "MANUFACTURER", "PRODUCT", "IN USE BY"}};
  for (const SerialPortInfo& port : ports) {
    rows.push_back({port.device, OrDash(ComNames(port.comNumbers)), OrDash(port.driver),
                    OrDash(UsbId(port)), OrDash(port.serialNumber), OrDash(port.manufacturer),
                    OrDash(port.product), OrDash(Holders(port))});
    for (std::string& cell : rows.back()) cell = ValidUtf8(cell);
  }
  std::array<std::size_t, kColumns> widths{};
  for (const Row& row : rows) {
    for (std::size_t c = 0; c < kColumns; ++c) widths[c] = std::max(widths[c], Width(row[c]));
  }
  std::string table;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::string line;
    for (std::size_t c = 0; c < kColumns; ++c) {
      line += rows[r][c];
      if (c + 1 < kColumns) line += std::string(widths[c] - Width(rows[r][c]) + 2, ' ');
    }
    table += line + "\n";
    const std::string details = r == 0 ? std::string() : Details(ports[r - 1]);
    if (!details.empty()) table += "  " + ValidUtf8(details) + "\n";
  }
  return table + ValidUtf8(LinkHints(ports));
}

std::string PortJson(const std::vector<SerialPortInfo>& ports) {
  using Json = nlohmann::ordered_json;
  // Unknown is null rather than an empty text or a made-up number.
  const auto text = [](const std::string& value) { return value.empty() ? Json() : Json(value); };
  const auto number = [](int value, int unknown) {
    return value == unknown ? Json() : Json(value);
  };
  Json list = Json::array();
  for (const SerialPortInfo& port : ports) {
    Json holders = Json::array();
    for (const PortHolder& holder : port.holders) {
      holders.push_back({{"pid", number(holder.pid, 0)}, {"program", text(holder.program)}});
    }
    list.push_back({
        {"device", port.device},
        {"by_id", text(port.byId)},
        {"driver", text(port.driver)},
        {"vendor_id", text(port.vendorId)},
        {"product_id", text(port.productId)},
        {"manufacturer", text(port.manufacturer)},
        {"product", text(port.product)},
        {"serial_number", text(port.serialNumber)},
        {"friendly_name", text(port.friendlyName)},
        {"latency_timer_ms", number(port.latencyTimerMs, -1)},
        {"com", port.comNumbers},
        {"in_use", port.inUse},
        {"held_by", holders},
        {"virtual_sensor", port.virtualSensor},
        {"missing", port.missing},
    });
  }
  // Texts that are not UTF-8 (see ValidUtf8) get U+FFFD here too, rather
  // than an exception that would end the program.
  return list.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace zema
