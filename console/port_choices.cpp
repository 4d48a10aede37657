#include "console/port_choices.h"

#include <algorithm>

#include "link/serial_port.h"
#include "res/dialog_templates.h"

namespace zema {

namespace {

// The template's own entries, "COM1" to "COM9".
constexpr int kListedByTemplate = 9;

}  // namespace

PortChoices::PortChoices(std::vector<int> aboveCom9) {
  for (int port = 1; port <= kListedByTemplate; ++port) ports_.push_back(port);
  std::sort(aboveCom9.begin(), aboveCom9.end());
  aboveCom9.erase(std::unique(aboveCom9.begin(), aboveCom9.end()), aboveCom9.end());
  for (int port : aboveCom9) {
    if (port > kListedByTemplate && port <= kLastPort) ports_.push_back(port);
  }
}

int PortChoices::PortAt(int listIndex) const {
  if (listIndex < 0 || listIndex >= static_cast<int>(ports_.size())) return 0;
  return ports_[static_cast<std::size_t>(listIndex)];
}

int PortChoices::ListIndexOf(int port) const {
  const auto it = std::find(ports_.begin(), ports_.end(), port);
  return it == ports_.end() ? -1 : static_cast<int>(it - ports_.begin());
}

int PortNumberOfName(const std::string& name, bool anyCase) {
  if (name.size() < 4 || name.size() > 6) return 0;
  std::string prefix = name.substr(0, 3);
  if (anyCase) {
    for (char& c : prefix) c = static_cast<char>(c | 0x20);
  }
  if (prefix != "com" || name[3] == '0') return 0;
  int number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number >= kFirstPort && number <= kLastPort ? number : 0;
}

void OfferPorts(DialogWindow& window, const PortChoices& choices) {
  for (std::size_t i = kListedByTemplate; i < choices.ports().size(); ++i) {
    window.AddListEntry(kCtlPortList, "COM" + std::to_string(choices.ports()[i]));
  }
}

}  // namespace zema
