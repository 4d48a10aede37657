// "zema-transfer ports": the COM numbers that resolve to a device, and the
// serial adapters no COM number reaches yet, one line each.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> ListPorts();
