#include "cli/sysfs_serial_ports.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "cli/resolved_path.h"

namespace zema {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute, empty when there is none.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// The last component of the path a symbolic link names: the driver's or the
// subsystem's name.
std::string LinkName(const fs::path& link) {
  std::error_code error;
  const fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.filename().string();
}

// From the tty's device up, the first device with a driver of its own.
// Since Linux 6.5 a serial-core port hangs below two devices of the
// "serial-base" bus ("port", "ctrl") whose drivers say nothing about the
// hardware: the UART's driver sits above them.
std::string DriverOf(fs::path device, const fs::path& devicesRoot) {
  for (; device != devicesRoot && device.has_relative_path(); device = device.parent_path()) {
    if (!PathExists(device / "driver")) continue;
    if (LinkName(device / "subsystem") == "serial-base") continue;
    return LinkName(device / "driver");
  }
  return {};
}

// The USB device above the tty's device, empty when it is not on USB.
fs::path UsbDeviceOf(fs::path device, const fs::path& devicesRoot) {
  for (; device != devicesRoot && device.has_relative_path(); device = device.parent_path()) {
    if (PathExists(device / "idVendor") && PathExists(device / "idProduct")) return device;
  }
  return {};
}

// A serial-core port reports its UART type; 0 is a slot with no UART
// (ttyS1 to ttyS31 on most PCs).
bool HasHardware(const fs::path& ttyEntry) {
  const fs::path type = ttyEntry / "type";
  return !PathExists(type) || Attribute(type) != "0";
}

// by-id link name for each canonical device path.
std::vector<std::pair<fs::path, std::string>> StableNames(const fs::path& byIdFolder) {
  std::vector<std::pair<fs::path, std::string>> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(byIdFolder, error)) {
    const fs::path target = ResolvedPath(entry.path());
    if (!target.empty()) names.emplace_back(target, entry.path().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void ReadUsbIdentity(const fs::path& usbDevice, SerialPortInfo& port) {
  port.vendorId = Attribute(usbDevice / "idVendor");
  port.productId = Attribute(usbDevice / "idProduct");
  port.manufacturer = Attribute(usbDevice / "manufacturer");
  port.product = Attribute(usbDevice / "product");
  port.serialNumber = Attribute(usbDevice / "serial");
}

}  // namespace

std::vector<SerialPortInfo> ReadSysfsSerialPorts(const SysfsRoots& roots) {
  const fs::path devicesRoot = ResolvedPath(fs::path(roots.sys) / "devices");
  const auto stableNames = StableNames(fs::path(roots.dev) / "serial" / "by-id");
  std::vector<SerialPortInfo> ports;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(fs::path(roots.sys) / "class" / "tty", error)) {
    const fs::path device = ResolvedPath(entry.path() / "device");
    if (device.empty() || !HasHardware(entry.path())) continue;

    SerialPortInfo port;
    // A '/' in a device name is a '!' in sysfs.
    std::string name = entry.path().filename().string();
    std::replace(name.begin(), name.end(), '!', '/');
    port.device = (fs::path(roots.dev) / name).string();
    const fs::path node = ResolvedPath(port.device);
    for (const auto& [target, link] : stableNames) {
      if (!node.empty() && target == node) {
        port.byId = link;
        break;
      }
    }
    port.driver = DriverOf(device, devicesRoot);
    const fs::path usb = UsbDeviceOf(device, devicesRoot);
    if (!usb.empty()) ReadUsbIdentity(usb, port);
    // FTDI's driver shows its latency timer beside the port.
    const std::string latency = Attribute(device / "latency_timer");
    if (!latency.empty() && latency.size() <= 3 &&
        latency.find_first_not_of("0123456789") == std::string::npos) {
      port.latencyTimerMs = std::stoi(latency);
    }
    ports.push_back(port);
  }
  std::sort(ports.begin(), ports.end(),
            [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.device < b.device; });
  return ports;
}

}  // namespace zema
