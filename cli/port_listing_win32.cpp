// Serial ports on Windows: the devices of the Ports class (SetupAPI), each
// with the COM name its driver gave it, the USB identity in its instance id
// or its parents', an FTDI adapter's latency timer from its registry
// parameters, and whether another program has it open; then the other COM
// numbers that open.
#include <windows.h>
// clang-format off: cfgmgr32.h and setupapi.h need windows.h first.
#include <cfgmgr32.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <string>

#include "cli/port_listing.h"
#include "cli/usb_instance_id.h"
#include "link/serial_port.h"
#include "res/wide_text.h"

namespace zema {

namespace {

// GUID_DEVCLASS_PORTS: serial and parallel ports.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// Texts are read through the wide calls and kept in UTF-8: the narrow ones
// answer in the ANSI code page (the "ä" of "Serielles USB-Gerät" as the one
// byte 0xE4 in code page 1252), which is no UTF-8 and would not survive the
// JSON output.
std::string Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t text[512] = {};
  if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                         reinterpret_cast<BYTE*>(text), sizeof text - sizeof *text,
                                         nullptr)) {
    return {};
  }
  return Utf8FromWide(text);
}

std::string RegistryText(HKEY key, const wchar_t* name) {
  wchar_t text[256] = {};
  DWORD size = sizeof text - sizeof *text;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return {};
  }
  return Utf8FromWide(text);
}

int RegistryNumber(HKEY key, const wchar_t* name) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD) {
    return -1;
  }
  return static_cast<int>(value);
}

// "COM12" gives 12; anything else (LPT1) 0.
int ComNumber(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return 0;
  int number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > kLastPort) return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number >= kFirstPort && number <= kLastPort ? number : 0;
}

// The USB identity from the port's instance id and, where that lacks it
// (an FTDI port, an interface of a composite device), its parents'.
void ReadUsbIdentity(DEVINST node, SerialPortInfo& port) {
  for (int level = 0; level < 3; ++level) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    UsbIdentity usb;
    if (CM_Get_Device_IDA(node, id, sizeof id, 0) == CR_SUCCESS && ParseUsbInstanceId(id, usb)) {
      if (port.vendorId.empty()) {
        port.vendorId = usb.vendorId;
        port.productId = usb.productId;
      }
      if (!usb.serialNumber.empty()) {
        port.serialNumber = usb.serialNumber;
        return;
      }
    }
    DEVINST parent = 0;
    if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) return;
    node = parent;
  }
}

// Another program has the port open: the system refuses to share it.
bool InUse(const std::string& device) {
  HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return false;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

// The COM numbers that open besides the Ports class's: ports of other
// device classes (virtual port pairs have one of their own) and Wine's
// dosdevices links, which SetupAPI does not list.
void AddOtherComPorts(std::vector<SerialPortInfo>& ports) {
  for (int number = kFirstPort; number <= kLastPort; ++number) {
    const bool listed = std::any_of(ports.begin(), ports.end(), [number](const SerialPortInfo& p) {
      return p.comNumbers.front() == number;
    });
    if (listed) continue;
    const std::string device = ComDevicePath(number);
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    SerialPortInfo port;
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
    } else if (GetLastError() == ERROR_ACCESS_DENIED) {
      port.inUse = true;
    } else {
      continue;
    }
    port.device = device;
    port.comNumbers.push_back(number);
    ports.push_back(port);
  }
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; set != INVALID_HANDLE_VALUE && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    SerialPortInfo port;
    const int number = ComNumber(RegistryText(key, L"PortName"));
    // FTDI's driver keeps its latency timer among the port's parameters.
    port.latencyTimerMs = RegistryNumber(key, L"LatencyTimer");
    RegCloseKey(key);
    if (number == 0) continue;
    port.device = ComDevicePath(number);
    port.comNumbers.push_back(number);
    port.friendlyName = Property(set, device, SPDRP_FRIENDLYNAME);
    port.driver = Property(set, device, SPDRP_SERVICE);
    port.manufacturer = Property(set, device, SPDRP_MFG);
    port.product = Property(set, device, SPDRP_DEVICEDESC);
    ReadUsbIdentity(device.DevInst, port);
    port.inUse = InUse(port.device);
    ports.push_back(port);
  }
  if (set != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set);
  AddOtherComPorts(ports);
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
    return a.comNumbers.front() < b.comNumbers.front();
  });
  return ports;
}

}  // namespace zema
