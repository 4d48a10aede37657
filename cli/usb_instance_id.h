// The USB identity in a Windows device instance id, as SetupAPI gives it:
//   USB\VID_0403&PID_6001\A10K3XYZ            a USB device with its serial
//   USB\VID_2341&PID_8036&MI_00\6&3A5B&0&0000  an interface (no serial here)
//   FTDIBUS\VID_0403+PID_6001+A10K3XYZA\0000   FTDI's own bus (serial and
//                                              the chip's port letter)
// An instance part with '&' is one Windows made up for a device without a
// serial number.
#pragma once

#include <string>

namespace zema {

struct UsbIdentity {
  std::string vendorId;  // 4 hex digits, lower case
  std::string productId;
  std::string serialNumber;  // empty when the id holds none
};

// false when the id names no USB vendor and product.
bool ParseUsbInstanceId(const std::string& id, UsbIdentity& identity);

}  // namespace zema
