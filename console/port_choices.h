// The ports the main dialog's port list offers: "COM1" to "COM9" as the
// template has them, then every port above COM9 that exists when the
// dialog opens, in ascending order (a USB adapter on Windows usually gets
// COM10 or higher).
//
// The settings file stores the chosen port as its number - 1, which for
// COM1 to COM9 is the list index the file has always held. A stored port
// that the list offers is chosen again on the next start, wherever it then
// stands in the list; any other value chooses COM1.
#pragma once

#include <string>
#include <vector>

#include "frontend/dialog_window.h"

namespace zema {

class PortChoices {
 public:
  // COM1 to COM9, followed by the ports of `aboveCom9` that lie above 9
  // (each once, ascending).
  explicit PortChoices(std::vector<int> aboveCom9 = {});

  // The port of list entry `listIndex`; 0 for an index the list lacks.
  int PortAt(int listIndex) const;
  // The list entry of `port`; -1 when the list does not offer it.
  int ListIndexOf(int port) const;

  // The list's entries: port numbers in list order.
  const std::vector<int>& ports() const { return ports_; }

 private:
  std::vector<int> ports_;
};

// The ports above COM9 that exist now. On Windows the COM devices the
// system names (and, under Wine, the comN links of the prefix's
// dosdevices folder); elsewhere the comN links of the dosdevices folders
// that the link layer looks in (link/port_device_path.h).
std::vector<int> PresentPortsAboveCom9();

// The port number that a name such as "com13" gives (1 to 256, decimal,
// no leading zero); `anyCase` also takes "COM13". 0 for any other name.
int PortNumberOfName(const std::string& name, bool anyCase);

// Adds "COM<n>" to the window's port list for each port after COM9.
void OfferPorts(DialogWindow& window, const PortChoices& choices);

}  // namespace zema
