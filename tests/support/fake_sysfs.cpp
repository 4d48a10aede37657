#include "tests/support/fake_sysfs.h"

#include <fstream>

namespace zema {

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

void Link(const fs::path& link, const fs::path& target) {
  fs::create_directories(link.parent_path());
  fs::create_symlink(target, link);
}

}  // namespace

FakeSysfs::FakeSysfs() : folder_("fake-sysfs") {
  fs::create_directories(folder_ / "sys/class/tty");
  fs::create_directories(folder_ / "dev");
}

void FakeSysfs::Bind(const fs::path& device, const std::string& bus, const std::string& driver) {
  const fs::path busFolder = folder_ / "sys/bus" / bus;
  fs::create_directories(busFolder / "drivers" / driver);
  Link(device / "subsystem", busFolder);
  Link(device / "driver", busFolder / "drivers" / driver);
}

fs::path FakeSysfs::Usb(const std::string& usbPort, const FakeUsbDevice& usb) {
  const fs::path device = folder_ / "sys/devices/pci0000:00/0000:00:14.0/usb1" / usbPort;
  Write(device / "idVendor", usb.vendorId);
  Write(device / "idProduct", usb.productId);
  if (!usb.manufacturer.empty()) Write(device / "manufacturer", usb.manufacturer);
  if (!usb.product.empty()) Write(device / "product", usb.product);
  if (!usb.serial.empty()) Write(device / "serial", usb.serial);
  Bind(device, "usb", "usb");
  return device;
}

fs::path FakeSysfs::Tty(const fs::path& parent, const std::string& name, const fs::path& device) {
  const fs::path tty = parent / "tty" / name;
  fs::create_directories(tty);
  if (!device.empty()) Link(tty / "device", device);
  Link(folder_ / "sys/class/tty" / name, tty);
  Write(folder_ / "dev" / name, "");
  return tty;
}

void FakeSysfs::AddUsbSerial(const std::string& name, const std::string& usbPort,
                             const FakeUsbDevice& usb, const std::string& driver, int latencyMs,
                             const std::string& byIdName) {
  const fs::path port = Usb(usbPort, usb) / (usbPort + ":1.0") / name;
  Bind(port, "usb-serial", driver);
  if (latencyMs >= 0) Write(port / "latency_timer", std::to_string(latencyMs));
  Tty(port, name, port);
  if (!byIdName.empty()) Link(folder_ / "dev/serial/by-id" / byIdName, "../../" + name);
}

void FakeSysfs::AddUsbAcm(const std::string& name, const std::string& usbPort,
                          const FakeUsbDevice& usb) {
  const fs::path interface = Usb(usbPort, usb) / (usbPort + ":1.0");
  Bind(interface, "usb", "cdc_acm");
  Tty(interface, name, interface);
}

void FakeSysfs::AddUart(const std::string& name, int type) {
  const fs::path board = folder_ / ("sys/devices/pnp0/00:0" + name.substr(4));
  Bind(board, "pnp", "serial");
  const fs::path controller = board / "ctrl";
  Bind(controller, "serial-base", "ctrl");
  const fs::path port = controller / "port";
  Bind(port, "serial-base", "port");
  Write(Tty(port, name, port) / "type", std::to_string(type));
}

void FakeSysfs::AddVirtualTerminal(const std::string& name) {
  Tty(folder_ / "sys/devices/virtual", name, {});
}

}  // namespace zema
