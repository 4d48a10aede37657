#include "cli/ports_command.h"

#include <charconv>
#include <cstdio>

#include "cli/com_port_link.h"
#include "cli/exit_status.h"
#include "cli/port_listing.h"
#include "cli/port_table.h"
#include "link/network_address.h"

#ifdef _WIN32
#include "link/network_links.h"
#else
#include <sys/stat.h>

#include "link/port_device_path.h"
#endif

namespace zema {

namespace {

std::vector<SerialPortInfo> Ports(const CliOptions& options) {
#ifdef _WIN32
  (void)options;
  return ListSerialPorts();
#else
  return ListSerialPorts(SysfsRoots{options.sysfsRoot, options.devRoot});
#endif
}

int Link(const CliOptions& options) {
  const std::string& number = options.link[0];
  ComLinkRequest request;
  const auto [end, error] =
      std::from_chars(number.data(), number.data() + number.size(), request.number);
  if (error != std::errc() || end != number.data() + number.size()) {
    std::fprintf(stderr, "zema-transfer: --link N DEVICE: N is a COM number, 1 to 256\n");
    return kExitUsage;
  }
#ifdef _WIN32
  // Windows numbers its own ports; a port on a device server needs one.
  if (!zema::IsNetworkUrl(options.link[1])) {
    std::fprintf(stderr,
                 "zema-transfer: on Windows the system numbers the COM ports; change a port's "
                 "number in the Device Manager (Port Settings, Advanced)\n");
    return kExitUsage;
  }
  request.folder = NetworkLinksFolder();
  request.device = options.link[1];
  request.replace = options.replaceLink;
  std::string message;
  if (LinkComPort(request, message) == ComLinkOutcome::Refused) {
    std::fprintf(stderr, "zema-transfer: %s\n", message.c_str());
    return kExitFailed;
  }
  std::printf("%s\n", message.c_str());
  return kExitDone;
#else
  request.folder = UserDosDevicesFolder();
  // "ttyUSB0" is taken as the device of that name.
  request.device = options.link[1];
  if (request.device.find('/') == std::string::npos && !zema::IsNetworkUrl(request.device)) {
    request.device = options.devRoot + "/" + request.device;
  }
  request.replace = options.replaceLink;
  request.byIdFolder = options.devRoot + "/serial/by-id";
  std::string message;
  const ComLinkOutcome outcome = LinkComPort(request, message);
  if (outcome == ComLinkOutcome::Refused) {
    std::fprintf(stderr, "zema-transfer: %s\n", message.c_str());
    return kExitFailed;
  }
  std::printf("%s\n", message.c_str());
  // The folder beside the program is looked up first.
  const std::string shadow = ExecutableDosDevicesFolder() + "/com" + std::to_string(request.number);
  struct stat info {};
  if (::lstat(shadow.c_str(), &info) == 0) {
    std::printf("Note: %s is looked up first and wins over this link.\n", shadow.c_str());
  }
  return kExitDone;
#endif
}

}  // namespace

int RunPortsCommand(const CliOptions& options) {
  if (!options.link.empty()) return Link(options);
  const std::vector<SerialPortInfo> ports = Ports(options);
  const std::string text = options.json ? PortJson(ports) : PortTable(ports);
  std::fputs(text.c_str(), stdout);
  return kExitDone;
}

}  // namespace zema
