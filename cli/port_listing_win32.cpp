// COM numbers on Windows: every COM1 to COM256 that the system opens, or
// that exists but is held by another program.
#include <windows.h>

#include "cli/port_listing.h"
#include "link/serial_port.h"

std::vector<std::string> ListPorts() {
  std::vector<std::string> lines;
  for (int n = kFirstPort; n <= kLastPort; ++n) {
    const std::string device = ComDevicePath(n);
    HANDLE handle = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
      lines.push_back("COM" + std::to_string(n));
    } else if (GetLastError() == ERROR_ACCESS_DENIED) {
      lines.push_back("COM" + std::to_string(n) + "  (in use by another program)");
    }
  }
  if (lines.empty()) lines.push_back("No COM port opens on this computer.");
  return lines;
}
