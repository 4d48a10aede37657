// A made-up /sys and /dev in a temporary folder, laid out as Linux lays
// out its serial ports: /sys/class/tty/<name> links into /sys/devices, a
// device link from there to the tty's device, drivers and subsystems as
// links into /sys/bus, USB identities in the USB device's folder, and
// /dev/serial/by-id links to /dev/<name>.
#pragma once

#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"

namespace zema {

struct FakeUsbDevice {
  std::string vendorId, productId, manufacturer, product, serial;
};

class FakeSysfs {
 public:
  FakeSysfs();

  std::string sysRoot() const { return (folder_ / "sys").string(); }
  std::string devRoot() const { return (folder_ / "dev").string(); }
  std::string Device(const std::string& name) const { return devRoot() + "/" + name; }
  const std::filesystem::path& folder() const { return folder_.path(); }

  // A USB serial adapter's port (ttyUSB*: a usb-serial device below the
  // interface) on USB port `usbPort`; latencyMs < 0: no latency_timer.
  void AddUsbSerial(const std::string& name, const std::string& usbPort, const FakeUsbDevice& usb,
                    const std::string& driver, int latencyMs, const std::string& byIdName);
  // A USB modem port (ttyACM*: the interface itself is the tty's device).
  void AddUsbAcm(const std::string& name, const std::string& usbPort, const FakeUsbDevice& usb);
  // A serial-core UART below the serial-base port and controller devices,
  // as Linux 6.5 and later have it; type 0 is a slot with no UART.
  void AddUart(const std::string& name, int type);
  // A tty with no device: a virtual console, the console, ptmx.
  void AddVirtualTerminal(const std::string& name);

 private:
  std::filesystem::path Usb(const std::string& usbPort, const FakeUsbDevice& usb);
  std::filesystem::path Tty(const std::filesystem::path& parent, const std::string& name,
                            const std::filesystem::path& device);
  void Bind(const std::filesystem::path& device, const std::string& bus, const std::string& driver);

  TempFolder folder_;
};

}  // namespace zema
