// What identifies a serial port on this computer: its device, the names
// that stay when it is plugged elsewhere, the USB adapter behind it, the
// COM numbers that reach it and who holds it. "zema-transfer ports" lists
// these; --adapter-serial picks a port by them.
#pragma once

#include <string>
#include <vector>

namespace zema {

struct PortHolder {
  int pid = 0;          // 0: the system does not say which program
  std::string program;  // its name, empty when unknown
};

struct SerialPortInfo {
  std::string device;     // what is opened: /dev/ttyUSB0, \\.\COM3
  std::string byId;       // /dev/serial/by-id/..., empty without one
  std::string driver;     // ftdi_sio, cdc_acm, serial; FTDIBUS, usbser
  std::string vendorId;   // USB vendor and product, 4 hex digits; empty
  std::string productId;  // when the port is not on USB
  std::string manufacturer;
  std::string product;
  std::string serialNumber;         // the USB device's, empty without one
  std::string friendlyName;         // Windows: "USB Serial Port (COM3)"
  int latencyTimerMs = -1;          // an FTDI adapter's latency timer, -1 unknown
  std::vector<int> comNumbers;      // the COM numbers that open this device
  bool inUse = false;               // another program has it open or locked
  std::vector<PortHolder> holders;  // which ones, where the system says
  bool virtualSensor = false;       // a zema-sim pseudo-terminal
  bool missing = false;             // a COM link whose device does not exist
  bool deviceServer = false;        // a COM link to a URL: a port on a serial device server
};

}  // namespace zema
