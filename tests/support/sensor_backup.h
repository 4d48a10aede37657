// A backup of the virtual sensor made as a backup run makes one: a READ of
// the selection into a hidden folder, then published under its dated name.
#pragma once

#include <string>

#include "backup/inventory.h"

namespace zema {

// Every kind, banks 0 to 14.
CopySelection WholeSensor();

// The published folder; fails the test (and returns "") when the READ or
// the publishing fails. Opens and closes the COM port `port` itself.
std::string MakeSensorBackup(int port, const std::string& root, const std::string& sensor,
                             const CopySelection& copy = WholeSensor());

}  // namespace zema
