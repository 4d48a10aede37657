// Which programs hold a port, found as fuser and lsof find them: the open
// descriptors under /proc/<pid>/fd (those of other users' programs only
// when run as root) and the flock() locks in /proc/locks (everyone's). The
// loader and zema-transfer take such a lock on every port they open.
#pragma once

#include <string>
#include <vector>

#include "cli/serial_port_info.h"

namespace zema {

// Fills in inUse and holders of each port. A virtual sensor keeps its
// pseudo-terminal open itself: for one, only a lock counts. This program
// itself never counts.
void FindPortHolders(std::vector<SerialPortInfo>& ports, const std::string& procRoot = "/proc");

}  // namespace zema
