// The ports above COM9 on a POSIX system: the comN links of the dosdevices
// folders, as DeviceForPort looks a port up. A port without a link opens
// /dev/ttyS<n-1>, which a PC has only as COM1 to COM4: those are listed
// already.
#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "console/port_choices.h"
#include "link/port_device_path.h"

namespace zema {

std::vector<int> PresentPortsAboveCom9() {
  namespace fs = std::filesystem;
  std::vector<int> ports;
  for (const std::string& folder : {ExecutableDosDevicesFolder(), UserDosDevicesFolder()}) {
    std::error_code error;
    if (folder.empty()) continue;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const int port = PortNumberOfName(it->path().filename().string(), false);
      // Any entry of that name counts, as for DeviceForPort: a link that
      // points nowhere is still the operator's choice of device.
      if (port > 9) ports.push_back(port);
    }
  }
  return ports;
}

}  // namespace zema
