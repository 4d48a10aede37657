#include "cli/adapter_choice.h"

namespace zema {

bool FindAdapterBySerial(const std::vector<SerialPortInfo>& ports, const std::string& serial,
                         std::string& device, std::string& error) {
  std::vector<const SerialPortInfo*> matches;
  std::string seen;
  for (const SerialPortInfo& port : ports) {
    if (port.serialNumber.empty()) continue;
    if (port.serialNumber == serial) matches.push_back(&port);
    seen += (seen.empty() ? "" : ", ") + port.serialNumber + " (" + port.device + ")";
  }
  if (matches.size() == 1) {
    device = matches.front()->byId.empty() ? matches.front()->device : matches.front()->byId;
    return true;
  }
  if (matches.empty()) {
    error = "no serial adapter has the USB serial number " + serial +
            (seen.empty() ? " (no adapter with a serial number is plugged in)"
                          : " (plugged in: " + seen + ")");
    return false;
  }
  std::string devices;
  for (const SerialPortInfo* port : matches) {
    devices += (devices.empty() ? "" : ", ") + (port->byId.empty() ? port->device : port->byId);
  }
  error = std::to_string(matches.size()) + " ports have the USB serial number " + serial + " (" +
          devices + "): a multi-port adapter; name one with --device";
  return false;
}

}  // namespace zema
