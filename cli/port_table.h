// "zema-transfer ports" output: a table for a reader, JSON for a script.
#pragma once

#include <string>
#include <vector>

#include "cli/serial_port_info.h"

namespace zema {

// One line per port (device, COM numbers, driver, USB vendor:product,
// serial number, manufacturer, product, holders), and under it what else
// identifies it (stable name, latency timer, friendly name); then how to
// link an adapter that no COM number reaches.
std::string PortTable(const std::vector<SerialPortInfo>& ports);

// An array of one object per port, every field present (null when unknown).
std::string PortJson(const std::vector<SerialPortInfo>& ports);

}  // namespace zema
