// Serial ports on Linux as sysfs describes them: every /sys/class/tty entry
// backed by a device (virtual terminals, the console and pseudo-terminals
// have none), except the slots of a serial-core driver with no UART behind
// them (type 0); for a USB port the USB device's identity, found by walking
// up from the tty's device to the one with idVendor and idProduct.
//
// The roots are parameters, so that tests read a tree they built.
#pragma once

#include <string>
#include <vector>

#include "cli/serial_port_info.h"

namespace zema {

struct SysfsRoots {
  std::string sys = "/sys";
  std::string dev = "/dev";
};

// The ports with device, by-id name, driver, USB identity and latency
// timer filled in; sorted by device.
std::vector<SerialPortInfo> ReadSysfsSerialPorts(const SysfsRoots& roots);

}  // namespace zema
