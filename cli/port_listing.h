// The serial ports of this computer, each with what identifies it.
#pragma once

#include <vector>

#include "cli/serial_port_info.h"

#ifndef _WIN32
#include "cli/sysfs_serial_ports.h"
#endif

namespace zema {

// Every serial port, sorted by device: on Linux from sysfs, with the COM
// numbers whose dosdevices links (or the /dev/ttyS rule) reach it, and the
// COM links to a virtual sensor or to a missing device besides; on Windows
// from SetupAPI.
std::vector<SerialPortInfo> ListSerialPorts();

#ifndef _WIN32
// The same from another sysfs and /dev (a tree a test built); the COM
// links and the holders are the system's.
std::vector<SerialPortInfo> ListSerialPorts(const SysfsRoots& roots);
#endif

}  // namespace zema
