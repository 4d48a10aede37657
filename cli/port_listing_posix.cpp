// Serial ports on a POSIX system: sysfs, the dosdevices links that make
// them COM numbers, and who holds them.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "cli/port_holders_linux.h"
#include "cli/port_listing.h"
#include "cli/resolved_path.h"
#include "link/network_address.h"
#include "link/serial_port.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

// The entry for `device`, made when none exists yet.
SerialPortInfo& EntryFor(std::vector<SerialPortInfo>& ports, const std::string& device) {
  for (SerialPortInfo& port : ports) {
    if (port.device == device) return port;
  }
  ports.push_back({});
  ports.back().device = device;
  return ports.back();
}

// Port n reaches the listed device it resolves to. A link to a
// pseudo-terminal is a virtual sensor's (zema-sim --link), a link to a
// device sysfs did not list is listed as it is, and a link to nothing as
// missing, unless it names a port on a serial device server (a URL); the
// /dev/ttyS<n-1> rule counts only for ports that exist.
void AddComNumber(std::vector<SerialPortInfo>& ports, int n) {
  const fs::path path = ComDevicePath(n);
  const bool link = IsSymlink(path);
  const fs::path target = ResolvedPath(path);
  if (target.empty()) {
    if (!link) return;
    std::error_code error;
    const std::string named = fs::read_symlink(path, error).string();
    SerialPortInfo& port = EntryFor(ports, named);
    port.deviceServer = zema::IsNetworkUrl(named);
    port.missing = !port.deviceServer;
    port.comNumbers.push_back(n);
    return;
  }
  for (SerialPortInfo& port : ports) {
    if (!port.missing && ResolvedPath(port.device) == target) {
      port.comNumbers.push_back(n);
      return;
    }
  }
  if (!link) return;
  SerialPortInfo& port = EntryFor(ports, target.string());
  port.virtualSensor = target.string().rfind("/dev/pts/", 0) == 0;
  port.comNumbers.push_back(n);
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const SysfsRoots& roots) {
  std::vector<SerialPortInfo> ports = ReadSysfsSerialPorts(roots);
  for (int n = kFirstPort; n <= kLastPort; ++n) AddComNumber(ports, n);
  std::sort(ports.begin(), ports.end(),
            [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.device < b.device; });
  FindPortHolders(ports);
  return ports;
}

std::vector<SerialPortInfo> ListSerialPorts() { return ListSerialPorts(SysfsRoots{}); }

}  // namespace zema
