// --adapter-serial: the sensor's adapter named by its USB serial number,
// which stays with the adapter, where /dev/ttyUSB0 and COM numbers follow
// the order of plugging.
#pragma once

#include <string>
#include <vector>

#include "cli/serial_port_info.h"

namespace zema {

// The device to open for the port whose USB serial number is `serial`: its
// stable name where it has one. false with `error` when no port or more
// than one (the ports of a multi-port adapter) has that number.
bool FindAdapterBySerial(const std::vector<SerialPortInfo>& ports, const std::string& serial,
                         std::string& device, std::string& error);

}  // namespace zema
