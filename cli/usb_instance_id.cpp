#include "cli/usb_instance_id.h"

#include <algorithm>
#include <cctype>

namespace zema {

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

// The 4 hex digits after `key` ("VID_") in `part`, lower case; empty when
// there are none.
std::string HexAfter(const std::string& part, const std::string& key) {
  const std::size_t at = Upper(part).find(key);
  if (at == std::string::npos || at + key.size() + 4 > part.size()) return {};
  std::string digits = part.substr(at + key.size(), 4);
  if (!std::all_of(digits.begin(), digits.end(),
                   [](unsigned char c) { return std::isxdigit(c) != 0; })) {
    return {};
  }
  std::transform(digits.begin(), digits.end(), digits.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return digits;
}

}  // namespace

bool ParseUsbInstanceId(const std::string& id, UsbIdentity& identity) {
  const std::size_t first = id.find('\\');
  const std::size_t second = first == std::string::npos ? first : id.find('\\', first + 1);
  if (second == std::string::npos) return false;
  const std::string bus = Upper(id.substr(0, first));
  const std::string hardware = id.substr(first + 1, second - first - 1);
  const std::string instance = id.substr(second + 1);

  identity = {HexAfter(hardware, "VID_"), HexAfter(hardware, "PID_"), {}};
  if (identity.vendorId.empty() || identity.productId.empty()) return false;
  if (bus == "FTDIBUS") {
    const std::size_t plus = hardware.rfind('+');
    if (plus != std::string::npos && Upper(hardware).find("PID_") < plus) {
      identity.serialNumber = hardware.substr(plus + 1);
    }
  } else if (Upper(hardware).find("&MI_") == std::string::npos &&
             instance.find('&') == std::string::npos) {
    identity.serialNumber = instance;
  }
  return true;
}

}  // namespace zema
